// The file readers on mutated files, through the exports, against a simulated
// slave: identifier and profile files through BISS_AutoDetection,
// configuration files through BISS_LoadDLLConfig and register images through
// BISS_LoadRegister. A fixed seed and count make every run the same. No file
// may crash the library, take longer than the time limit, or be accepted when
// its mutation certainly broke its format; every label must read back whole.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "FileMutator.h"
#include "HandleFixtures.h"
#include "SimulatedAdapter.h"

namespace {

using ferrolink_fuzz::FileMutator;
using ferrolink_fuzz::MutatedFile;
using ferrolink_fuzz::SeedFile;

constexpr uint32_t kSeed = 20251;
constexpr int kFilesPerSeed = 100;
// A file that takes longer than this hangs the run: a reader's time must grow
// with the file's length, not with its square.
constexpr double kFileLimitSeconds = 5.0;
constexpr BISS_U32 kHexBytes = 64;

// The line (0-based) that contains the text, and the offset just behind it.
size_t LineOf(const std::string &text, const std::string &what)
{
    const size_t at = text.find(what);
    return static_cast<size_t>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(at), '\n'));
}
size_t EndOf(const std::string &text, const std::string &what, size_t from = 0)
{
    return text.find(what, from) + what.size();
}

SeedFile IdentifierSeed()
{
    SeedFile seed;
    seed.text = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
                "<BiSS-Identifier Version=\"1.0\">\n"
                " <Manufacturer Id=\"4B56\">\n"
                "  <Label>Vantrel</Label>\n"
                "  <Device>\n"
                "   <Id Range=\"47:40\">0x5A</Id>\n"
                "   <Label>Kelto</Label>\n"
                "   <SCDS>\n"
                "    <Length>24</Length>\n"
                "    <CrcPoly>0x43</CrcPoly>\n"
                "    <Label Pos=\"0\" Unit=\"counts\">POS(23:2)</Label>\n"
                "    <Label Pos=\"1\">nE(1:1)</Label>\n"
                "    <Label Pos=\"2\">nW(0:0)</Label>\n"
                "   </SCDS>\n"
                "  </Device>\n"
                " </Manufacturer>\n"
                "</BiSS-Identifier>\n";
    for (const char *line : {"<BiSS-Identifier", "<Manufacturer", "<Device>", "<Id ", "</Device>"})
        seed.essentialLines.insert(LineOf(seed.text, line));
    seed.essentialEnd = EndOf(seed.text, "</Device>");
    return seed;
}

SeedFile ProfileSeed()
{
    SeedFile seed;
    seed.text = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
                "<BiSS-Identifier Version=\"1.0\">\n"
                " <Profile>\n"
                "  <Device>\n"
                "   <Id Range=\"15:0\">0x010E</Id>\n"
                "   <Label>BP1</Label>\n"
                "   <SCDS>\n"
                "    <Length>24</Length>\n"
                "    <CrcPoly>0x43</CrcPoly>\n"
                "    <Label Pos=\"0\">ST(23:10)</Label>\n"
                "    <Label Pos=\"1\">nE(9:9)</Label>\n"
                "   </SCDS>\n"
                "  </Device>\n"
                " </Profile>\n"
                "</BiSS-Identifier>\n";
    for (const char *line : {"<BiSS-Identifier", "<Profile>", "<Device>", "<Id ", "</Device>"})
        seed.essentialLines.insert(LineOf(seed.text, line));
    seed.essentialEnd = EndOf(seed.text, "</Device>");
    return seed;
}

std::string ReadFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

class FileReadersFuzz : public ferrolink_test::SimulatedAdapterTest {
protected:
    void SetUp() override
    {
        char folder[MAX_PATH];
        GetTempPathA(MAX_PATH, folder);
        folder_ = std::string(folder) + "ferrolink_fuzz_" + std::to_string(GetCurrentProcessId()) + "\\";
        CreateDirectoryA(folder_.c_str(), nullptr);

        Plug();
        // One slave that both seed files describe: device 5A of maker 4B 56, profile 01 0E.
        sim::biss::SimBissSlave &slave = rig_->line.AddSlave();
        slave.Registers().SetIdentification({0x5A, 0, 0, 0, 0, 0, 0x4B, 0x56});
        slave.Registers().Write(0x42, 0x01);
        slave.Registers().Write(0x43, 0x0E);
        slave.SetChannels({{18, 0x2ABCD, 0x43, 0}});
        Select();
        rig_->master.Trace().SetEnabled(false);
    }
    void TearDown() override
    {
        SimulatedAdapterTest::TearDown();
        for (const char *name : {"fuzz_idbiss.xml", "fuzz_profile.xml", "fuzz_config.xml", "fuzz_image.hex",
                                 "seed_config.xml", "seed_image.hex", "reset_idbiss.xml", "reset_profile.xml"})
            DeleteFileA((folder_ + name).c_str());
        RemoveDirectoryA(folder_.c_str());
    }

    // A configuration document with labels of every awkward kind, as the library saves it.
    SeedFile ConfigSeed()
    {
        ConfigureChannel(0, 24, 0x43);
        ConfigureChannel(2, 40, 0x25, 1, 3);
        BISS(BISS_SetSlaveLabel)(handle_, 0, "Vantrel <maker>", "Kelto & co", "");
        BISS(BISS_SetSlaveLabel)(handle_, 2, "a<!--b", "line\nfeed", "");
        BISS(BISS_SetScdContentLabels)(handle_, 0, 0, "POS", "counts");
        BISS(BISS_SetScdContentLabels)(handle_, 0, 1, "p</ContentLabel>q", "");
        const std::string path = folder_ + "seed_config.xml";
        EXPECT_EQ(0, BISS(BISS_SaveDLLConfig)(handle_, path.c_str()));
        SeedFile seed;
        seed.text = ReadFile(path);
        for (const char *line : {"<BiSS-Configuration ", "<BISS_ComParamEnum>", "</BiSS-Configuration>"})
            seed.essentialLines.insert(LineOf(seed.text, line));
        seed.essentialEnd = EndOf(seed.text, "</BiSS-Configuration>");
        return seed;
    }

    SeedFile HexSeed()
    {
        std::vector<BISS_U32> data(kHexBytes);
        for (BISS_U32 i = 0; i < kHexBytes; ++i)
            data[i] = (i * 37 + 11) & 0xFF;
        const std::string path = folder_ + "seed_image.hex";
        EXPECT_EQ(0, BISS(BISS_SaveRegister)(handle_, path.c_str(), 0, kHexBytes, data.data()));
        SeedFile seed;
        seed.text = ReadFile(path);
        seed.hexRecords = true;
        for (size_t line = 0; line < FileMutator::Lines(seed.text).size(); ++line)
            seed.essentialLines.insert(line);
        seed.essentialEnd = EndOf(seed.text, ":00000001FF");
        return seed;
    }

    // Every label of every channel, read into buffers larger than any line of the file.
    void ReadBackLabels(size_t fileSize, const std::string &what)
    {
        const size_t size = fileSize + 4096;
        std::vector<char> a(size), b(size), c(size);
        const auto whole = [&](const std::vector<char> &buffer) {
            return std::find(buffer.begin(), buffer.end(), '\0') != buffer.end();
        };
        for (BISS_U32 channel = 0; channel < 8; ++channel) {
            ASSERT_EQ(0, BISS(BISS_GetSlaveLabel)(handle_, channel, a.data(), b.data(), c.data())) << what;
            ASSERT_TRUE(whole(a) && whole(b) && whole(c)) << what;
            BISS_U32 items = 0;
            ASSERT_EQ(0, BISS(BISS_GetFrameParam)(handle_, channel, eBISS_FP_CONTENT_COUNT, &items)) << what;
            for (BISS_U32 item = 0; item < items; ++item) {
                ASSERT_EQ(0, BISS(BISS_GetScdContentLabels)(handle_, channel, item, a.data(), b.data())) << what;
                ASSERT_TRUE(whole(a) && whole(b)) << what;
            }
        }
    }


    struct Reader {
        const char *name;
        const char *fileName;
        // Runs the reader on the file; true when it accepted the file.
        bool (FileReadersFuzz::*read)(const std::string &path);
    };

public:
    // Whether the file described the slave: its channel carries the device's labels. Labels stay
    // where a file names nothing, so a file that names the slave unknown runs first.
    bool Detect(const std::string &path, const char *resetName, const char *described)
    {
        const std::string reset = folder_ + resetName;
        WriteFile(reset, "<?xml?>\n<BiSS-Identifier>\n</BiSS-Identifier>\n");
        BISS_U32 channels = 0;
        EXPECT_EQ(0, BISS(BISS_AutoDetection)(handle_, reset.c_str(), &channels, 0));
        const int result = BISS(BISS_AutoDetection)(handle_, path.c_str(), &channels, 0);
        std::vector<char> manufacturer(1 << 20), slave(1 << 20), complete(1 << 20);
        BISS(BISS_GetSlaveLabel)(handle_, 0, manufacturer.data(), slave.data(), complete.data());
        return result == 0 && std::string(complete.data()) == described;
    }
    bool DetectIdentifier(const std::string &path)
    {
        return Detect(path, "reset_idbiss.xml", "Manufacturer: Vantrel / Device: Kelto!");
    }
    bool DetectProfile(const std::string &path) { return Detect(path, "reset_profile.xml", "Device: BP1!"); }
    bool LoadConfig(const std::string &path) { return BISS(BISS_LoadDLLConfig)(handle_, path.c_str()) == 0; }
    bool LoadRegisterImage(const std::string &path)
    {
        std::vector<BISS_U32> data(kHexBytes);
        return BISS(BISS_LoadRegister)(handle_, path.c_str(), 0, kHexBytes, data.data()) == 0;
    }

protected:
    // Feeds one file to a reader and checks what it did with it.
    void Feed(const Reader &reader, const MutatedFile &file, bool breaksFormat, int number)
    {
        const std::string path = folder_ + reader.fileName;
        WriteFile(path, file.bytes);
        const std::string what = std::string(reader.name) + " #" + std::to_string(number) + " (" + file.kind + ", " +
                                 std::to_string(file.bytes.size()) + " bytes)";
        LARGE_INTEGER frequency, start, end;
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&start);
        const bool accepted = (this->*reader.read)(path);
        QueryPerformanceCounter(&end);
        const double seconds = double(end.QuadPart - start.QuadPart) / frequency.QuadPart;
        ++files_;
        EXPECT_LT(seconds, kFileLimitSeconds) << what;
        EXPECT_FALSE(accepted && breaksFormat) << what << ": a file whose format is broken was accepted";
        ReadBackLabels(file.bytes.size(), what);
    }

    std::string folder_;
    int files_ = 0;
};

TEST_F(FileReadersFuzz, MutatedFilesNeitherCrashNorHangNorPass)
{
    const Reader identifier{"identifier file", "fuzz_idbiss.xml", &FileReadersFuzz::DetectIdentifier};
    const Reader profile{"profile file", "fuzz_profile.xml", &FileReadersFuzz::DetectProfile};
    const Reader config{"configuration file", "fuzz_config.xml", &FileReadersFuzz::LoadConfig};
    const Reader image{"register image", "fuzz_image.hex", &FileReadersFuzz::LoadRegisterImage};
    const struct {
        SeedFile seed;
        const Reader *reader;
    } seeds[] = {{IdentifierSeed(), &identifier}, {ProfileSeed(), &profile}, {ConfigSeed(), &config},
                 {HexSeed(), &image}};

    // The seeds themselves are accepted, so a refusal below comes from a mutation.
    for (const auto &s : seeds) {
        WriteFile(folder_ + s.reader->fileName, s.seed.text);
        ASSERT_TRUE((this->*s.reader->read)(folder_ + s.reader->fileName)) << s.reader->name << " seed";
    }

    FileMutator mutator(kSeed);
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    // A line of 320 KB inside the slave's device, where every line is tested against its closing tag.
    for (const auto &s : {seeds[0], seeds[1]}) {
        const MutatedFile file = FileMutator::WithLongLine(s.seed, LineOf(s.seed.text, "<Id ") + 1, 320 * 1024);
        Feed(*s.reader, file, false, -1);
    }
    for (const auto &s : seeds) {
        for (int i = 0; i < kFilesPerSeed; ++i) {
            const MutatedFile file = mutator.Mutate(s.seed);
            Feed(*s.reader, file, file.breaksFormat, i);
            // The other formats' readers must refuse it: it is none of theirs.
            if (s.reader != &config)
                Feed(config, file, true, i);
            if (s.reader != &image)
                Feed(image, file, true, i);
            if (HasFatalFailure())
                return;
        }
    }
    QueryPerformanceCounter(&end);
    const double seconds = double(end.QuadPart - start.QuadPart) / frequency.QuadPart;
    std::printf("file readers fuzz: %d files in %.1f s, %.1f files per second (seed %u)\n", files_, seconds,
                files_ / seconds, kSeed);
}

} // namespace
