// Loads documents mutated from well-formed suites, with a fixed seed and
// count: none may crash or hang the reader, and every object made is gone
// once the model is. Reports documents per second.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <com/Module.h>

#include "RecordingModel.h"
#include "kr/bootstrap_exception.h"
#include "setupxml/SetupXmlReader.h"

using namespace setupxml_testing;

namespace {

constexpr unsigned kSeed = 20181;
constexpr int kDocuments = 4000;
constexpr auto kPerDocumentLimit = std::chrono::seconds(10);
constexpr auto kBudget = std::chrono::seconds(400);

#define NS "korvanstilmer/2018/bootstrap"

const char* const kSeeds[] = {
    "<?xml version=\"1.0\"?><Setup xmlns=\"" NS "\" SuiteId=\"S\"><SetupConfigurations><Config Name=\"A\" "
    "Value=\"B\"/></SetupConfigurations><Resources><UIResource Name=\"ui\"/><Resource Name=\"r\"/></Resources>"
    "<Parcels Order=\"1\"><Exe Id=\"a\"><Property Name=\"P\">v</Property><UIProperties><T>x</T></UIProperties>"
    "<Operation Name=\"Install\" Target=\"a.exe\"><CommandLine>/a</CommandLine><Silent>/q</Silent></Operation>"
    "<Detect><When><All><PropertyValue Property=\"A\" Value=\"1\"/></All></When></Detect><Eligible><When><Any>"
    "<Locale/></Any></When></Eligible><EnableLogging CommandLine=\"/l\"/><Package><Folder><File Name=\"f\"/>"
    "</Folder></Package><Events><OnParcelConfiguring><Run Id=\"x\"/></OnParcelConfiguring></Events></Exe>"
    "<Transaction><Msi Id=\"m\"/><Exe Id=\"b\"/></Transaction></Parcels><Mode><Install><When><Not><Platform/>"
    "</Not></When></Install></Mode><SelectionTree><Selection Id=\"f\"><When><All><Locale/></All></When>"
    "<Feature.Visible><When><Any><Locale/></Any></When></Feature.Visible></Selection></SelectionTree>"
    "<Password>pw</Password><LanguageSelection>1033</LanguageSelection><SetProperty Name=\"C\" Value=\"D\">"
    "<When><All><PropertyValue/></All></When></SetProperty><ARPInfo><DisplayName>n</DisplayName></ARPInfo>"
    "<Languages><Language lcid=\"1033\"><IDS_A>a</IDS_A></Language></Languages><AbortConditions><Message "
    "Text=\"t\"><When><Any><Locale/></Any></When></Message></AbortConditions><Actions><Run Id=\"r\"/></Actions>"
    "<Events><OnBegin><Run Id=\"r\"><When><All><Locale/></All></When></Run></OnBegin></Events>"
    "<WindowsFeaturesDefinitions><IIS><DependsOn>a;b</DependsOn><Win10>f</Win10></IIS>"
    "</WindowsFeaturesDefinitions></Setup>",
    "<Setup xmlns=\"" NS "\"><Parcels><Exe><Operation Name=\"Install\"/><Property>p</Property></Exe>"
    "<Transaction><Exe/><Exe/></Transaction></Parcels><Password>a <!-- c --> b<![CDATA[c]]></Password></Setup>",
};

const char* const kVocabulary[] = {
    "Setup", "Parcels", "Transaction", "Exe", "Msi", "Operation", "Property", "When", "All", "Any", "Not",
    "Detect", "Eligible", "Mode", "Install", "SelectionTree", "Selection", "Feature.Visible", "Events",
    "OnBegin", "Languages", "Language", "ARPInfo", "Package", "Folder", "File", "DependsOn", "PropertyValue",
    "UIProperties", "SetupConfigurations", "Config", "WindowsFeaturesDefinitions", "AbortConditions", "Message",
};

class Mutator {
public:
    explicit Mutator(unsigned seed) : m_random(seed) {}

    std::string Mutate(std::string document)
    {
        const int steps = 1 + Below(3);
        for (int i = 0; i < steps && !document.empty(); ++i) {
            switch (Below(7)) {
            case 0:
                for (int flips = Below(8) + 1; flips > 0; --flips)
                    document[Below(document.size())] ^= static_cast<char>(1 << Below(8));
                break;
            case 1:
                document.resize(std::max(Below(document.size()), KeptDeclaration(document)));
                break;
            case 2:
                Insert(document, Nested(Below(2) ? "Any" : "Folder", 200 + Below(200)));
                break;
            case 3: {
                std::string element(2000 + Below(20000), 'N');
                element.front() = '<';
                Insert(document, element.append("/>"));
                break;
            }
            case 4:
                Insert(document, "<Password>" + std::string(10000 + Below(100000), 'T') + "</Password>");
                break;
            case 5: {
                std::string element = "<Exe";
                for (int a = Below(2000); a > 0; --a)
                    element += " a" + std::to_string(a) + "=\"v\"";
                Insert(document, element + "/>");
                break;
            }
            default: {
                const std::string name = kVocabulary[Below(std::size(kVocabulary))];
                std::string element = Below(2) ? "<" + name + ">" : "<o:" + name + " xmlns:o=\"other\">";
                Insert(document, element);
                break;
            }
            }
        }
        return document;
    }

private:
    // Wine's parser aborts the whole process on a document that ends inside
    // its XML declaration or right after it (Windows' reports a read error):
    // a cut keeps the first 64 characters, well past the seeds' declaration.
    static int KeptDeclaration(const std::string& document)
    {
        return static_cast<int>(std::min<size_t>(document.size(), 64));
    }

    int Below(size_t limit) { return limit == 0 ? 0 : static_cast<int>(m_random() % limit); }

    // At the start of a random tag, so the insertion is mostly well-formed.
    void Insert(std::string& document, const std::string& text)
    {
        size_t at = document.find('<', Below(document.size()));
        if (at == std::string::npos)
            at = document.size();
        document.insert(at, text);
    }

    static std::string Nested(const std::string& name, int depth)
    {
        std::string text;
        for (int i = 0; i < depth; ++i)
            text += "<" + name + ">";
        for (int i = 0; i < depth; ++i)
            text += "</" + name + ">";
        return text;
    }

    std::mt19937 m_random;
};

TEST(SetupXmlReaderFuzz, MutatedDocumentsNeitherCrashNorHangNorLeak)
{
    ProbeConditions probes;
    const LONG locksBefore = com::ThisModule().LockCount();
    std::atomic<int> current{-1};
    std::atomic<long long> startedAt{0};
    std::atomic<bool> done{false};
    const auto now = [] { return std::chrono::steady_clock::now().time_since_epoch().count(); };
    const auto began = std::chrono::steady_clock::now();
    int exceptions = 0;
    wchar_t keepFolder[MAX_PATH] = {};
    const std::wstring keepIn(keepFolder, GetEnvironmentVariableW(L"SETUPXML_FUZZ_KEEP", keepFolder, MAX_PATH));

    // Another seed may be tried through the environment; the run keeps its own.
    char seedText[16] = {};
    const unsigned seed = GetEnvironmentVariableA("SETUPXML_FUZZ_SEED", seedText, sizeof seedText)
                              ? static_cast<unsigned>(std::strtoul(seedText, nullptr, 10))
                              : kSeed;

    std::thread worker([&] {
        Mutator mutator(seed);
        CSetupXmlReader reader;
        for (int i = 0; i < kDocuments; ++i) {
            const std::string document = mutator.Mutate(kSeeds[i % std::size(kSeeds)]);
            DocumentFile file(document);
            // Keeps the document that hangs or crashes for a look afterwards.
            if (!keepIn.empty())
                CopyFileW(file.Path().c_str(), (keepIn + L"\\fuzz-last.xml").c_str(), FALSE);
            startedAt = now();
            current = i;
            // Some loads end in an invalid condition, which must leak nothing either.
            ProbeConditions::FailingName() = i % 5 == 0 ? L"Locale" : L"";
            {
                RecordingModel model;
                model.testHandlers[L"Msi"] = {eptMsi, true};
                try {
                    reader.Load(file.Path().c_str(), model);
                } catch (const bootstrap_exception&) {
                    ++exceptions;
                }
            }
        }
        done = true;
    });

    while (!done) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const auto elapsed = std::chrono::steady_clock::duration(now() - startedAt.load());
        if (current >= 0 && !done && elapsed > kPerDocumentLimit) {
            std::fprintf(stderr, "document %d (seed %u) did not finish within the limit\n", current.load(), seed);
            std::fflush(stderr);
            TerminateProcess(GetCurrentProcess(), 3);
        }
    }
    worker.join();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();

    EXPECT_EQ(locksBefore, com::ThisModule().LockCount()) << "parcels still alive";
    EXPECT_EQ(0, ProbeConditions::Live()) << "conditions still alive";
    EXPECT_LT(seconds, std::chrono::duration<double>(kBudget).count());
    std::printf("%d documents in %.1f s: %.0f documents per second (%d ended by an invalid condition)\n", kDocuments,
                seconds, kDocuments / seconds, exceptions);
}

} // namespace
