// The pipe records: what a writer puts down its reader gives back, and a
// reader refuses any length that reaches past the record that carries it.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "parcels/PipeRecords.h"

namespace {

std::wstring Wide(const _stringx& text)
{
    return std::wstring(text.c_str(), text.size());
}

TEST(PipeRecords, WrittenRecordsReadBack)
{
    ArpRecord arp;
    arp.operation = 1;
    arp.flags = 5;
    for (size_t i = 0; i < ArpRecord::kTexts; ++i)
        arp.texts[i] = (L"text " + std::to_wstring(i)).c_str();
    arp.texts[3].clear();
    ArpRecord arp_read;
    ASSERT_TRUE(ReadArpRecord(WriteArpRecord(arp), arp_read));
    for (size_t i = 0; i < ArpRecord::kTexts; ++i)
        EXPECT_EQ(Wide(arp_read.texts[i]), Wide(arp.texts[i]));
    EXPECT_EQ(arp_read.flags, 5u);

    MsiCommandData msi{0x12000003, L"REBOOT=ReallySuppress", L"C:\\log.txt"}, msi_read;
    ASSERT_TRUE(ReadMsiCommandData(WriteMsiCommandData(msi), msi_read));
    EXPECT_EQ(Wide(msi_read.command_line), L"REBOOT=ReallySuppress");
    EXPECT_EQ(Wide(msi_read.log_path), L"C:\\log.txt");
    EXPECT_EQ(msi_read.log_mode, 0x12000003u);

    RegistryRecord registry, registry_read;
    registry.type = REG_SZ;
    registry.key_path = L"Software\\Kr";
    registry.value_name = L"V";
    registry.data = {'a', 0, 0, 0};
    const std::vector<BYTE> registry_bytes = WriteRegistryRecord(registry);
    EXPECT_EQ(registry_bytes.size(), 24u + 22 + 2 + 4 + 4);
    ASSERT_TRUE(ReadRegistryRecord(registry_bytes, registry_read));
    EXPECT_EQ(Wide(registry_read.key_path), L"Software\\Kr");
    EXPECT_EQ(registry_read.data, registry.data);

    ExtensionCallRequest progress{6, L"Copying", L"", true, {5, 10, 1}}, progress_read;
    const std::vector<BYTE> progress_bytes = WriteExtensionCallRequest(progress);
    EXPECT_EQ(progress_bytes.size(), 14u + 40);
    ASSERT_TRUE(ReadExtensionCallRequest(progress_bytes, true, progress_read));
    EXPECT_EQ(progress_read.progress[1], 10u);

    KrpProgressCallback query, query_read;
    query.code = 4;
    query.query_kind = 7;
    query.text = L"Name?";
    query.default_answer = L"Kr";
    const std::vector<BYTE> query_bytes = WriteKrpProgressCallback(query);
    EXPECT_EQ(query_bytes.size(), 10u + 4 + 36);
    ASSERT_TRUE(ReadKrpProgressCallback(query_bytes, query_read));
    EXPECT_EQ(Wide(query_read.default_answer), L"Kr");

    EXPECT_EQ(WriteQueryAnswer({0, QueryAnswer::kNone, L""}).size(), 20u);
    QueryAnswer answer_read;
    ASSERT_TRUE(ReadQueryAnswer(WriteQueryAnswer({0, QueryAnswer::kText, L"yes"}), answer_read));
    EXPECT_EQ(Wide(answer_read.answer), L"yes");
    EXPECT_EQ(WriteCallbackAnswer({-1, 1, 2}).size(), 12u);
    EXPECT_EQ(WriteFolderReply(L"C:\\P\\").size(), 10u + 12);
    EXPECT_EQ(WriteProxyRequest(4, 1, {}, {}).size(), 20u);
}

using Reader = std::function<bool(PipeBytes)>;

// The readers the engine runs on what a proxy sends, and those both ends
// share: each record with empty texts, its length words set one byte past
// the record's end and to 0xFFFFFFFF.
TEST(PipeRecords, LengthsPastTheRecordAreRefused)
{
    const struct {
        const char* what;
        Reader read;
        std::vector<BYTE> record;
        size_t texts_at;
        std::vector<size_t> length_words;
    } cases[] = {
        {"FolderReply", [](PipeBytes b) { _stringx p; return ReadFolderReply(b, p); }, WriteFolderReply(L""), 8, {4}},
        {"MsiUiCallback", [](PipeBytes b) { MsiUiCallback c; return ReadMsiUiCallback(b, c); },
         WriteMsiUiCallback({}), 24, {20}},
        {"KrpProgressCallback", [](PipeBytes b) { KrpProgressCallback c; return ReadKrpProgressCallback(b, c); },
         WriteKrpProgressCallback({2, {}, 0, L"", L""}), 20, {16}},
        {"KrpProgressCallback query",
         [](PipeBytes b) { KrpProgressCallback c; return ReadKrpProgressCallback(b, c); },
         WriteKrpProgressCallback({4, {}, 1, L"", L""}), 28, {20, 24}},
        {"QueryAnswer", [](PipeBytes b) { QueryAnswer a; return ReadQueryAnswer(b, a); },
         WriteQueryAnswer({0, QueryAnswer::kText, L""}), 16, {12}},
        {"ExtensionCallRequest", [](PipeBytes b) { ExtensionCallRequest r; return ReadExtensionCallRequest(b, true, r); },
         WriteExtensionCallRequest({2, L"", L"", false, {}}), 24, {8, 12}},
        {"ExtensionCallRequest progress",
         [](PipeBytes b) { ExtensionCallRequest r; return ReadExtensionCallRequest(b, true, r); },
         WriteExtensionCallRequest({6, L"", L"", true, {}}), 24, {8}},
        {"ExtensionCallResult", [](PipeBytes b) { ExtensionCallResult r; return ReadExtensionCallResult(b, r); },
         WriteExtensionCallResult({}), 24, {8}},
        {"ClrCallData", [](PipeBytes b) { ClrCallData d; return ReadClrCallData(b, d); }, WriteClrCallData({}), 16,
         {4, 8, 12}},
        {"WebDeployCallData", [](PipeBytes b) { WebDeployCallData d; return ReadWebDeployCallData(b, d); },
         WriteWebDeployCallData({}), 8, {0, 4}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_TRUE(c.read(c.record));
        // Cut short of its fixed words, a record is refused too.
        EXPECT_FALSE(c.read(PipeBytes(c.record).first(c.texts_at - 1)));
        for (size_t at : c.length_words) {
            // The progress record's three numbers follow text 1.
            const size_t tail = c.record.size() - c.texts_at - (std::strcmp(c.what, "ExtensionCallRequest progress") ? 0 : 12);
            for (DWORD length : {static_cast<DWORD>(tail + 1), 0xFFFFFFFFul}) {
                std::vector<BYTE> record = c.record;
                std::memcpy(record.data() + at, &length, 4);
                EXPECT_FALSE(c.read(record)) << "word at " << at << " = " << length;
            }
        }
    }
    // A callback answer is a fixed 12 bytes.
    CallbackAnswer answer;
    EXPECT_FALSE(ReadCallbackAnswer(std::vector<BYTE>(11), answer));
}

} // namespace
