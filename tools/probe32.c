/* Does nothing: started under Wine, it shows whether this machine can start 32-bit programs. */
int main(void)
{
    return 0;
}
