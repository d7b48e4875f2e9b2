// A program that ends at once with the exit code given as its first
// argument (decimal; 0 without one), as an installer that asks for a restart
// ends with 3010.

#include <windows.h>

#include <cwchar>

int wmain(int argc, wchar_t** argv)
{
    return argc > 1 ? static_cast<int>(std::wcstoul(argv[1], nullptr, 10)) : 0;
}
