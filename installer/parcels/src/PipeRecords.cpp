#include "parcels/PipeRecords.h"

#include <cstring>

namespace {

// Reads words and texts front to back; every read is checked against what is
// left, in 64-bit arithmetic so no length can wrap around.
class RecordReader {
public:
    explicit RecordReader(PipeBytes bytes) noexcept : bytes_(bytes) {}

    bool Word(DWORD& word) noexcept
    {
        if (!Fits(4))
            return false;
        std::memcpy(&word, bytes_.data() + at_, 4);
        at_ += 4;
        return true;
    }
    bool Words(DWORD* words, size_t count) noexcept
    {
        for (size_t i = 0; i < count; ++i)
            if (!Word(words[i]))
                return false;
        return true;
    }
    bool Text(DWORD length, _stringx& text)
    {
        if (!Fits(length))
            return false;
        text = _stringx(reinterpret_cast<const wchar_t*>(bytes_.data() + at_), length / 2);
        at_ += length;
        return true;
    }
    bool Bytes(DWORD length, std::vector<BYTE>& out)
    {
        if (!Fits(length))
            return false;
        out.assign(bytes_.data() + at_, bytes_.data() + at_ + length);
        at_ += length;
        return true;
    }
    bool Skip(DWORD length) noexcept
    {
        if (!Fits(length))
            return false;
        at_ += length;
        return true;
    }
    // Whether the given lengths, added up without wrapping, fit in what is left.
    bool Fits(unsigned long long length) const noexcept { return length <= bytes_.size() - at_; }
    size_t Position() const noexcept { return at_; }

private:
    PipeBytes bytes_;
    size_t at_ = 0;
};

class RecordWriter {
public:
    RecordWriter& Word(DWORD word)
    {
        const BYTE* p = reinterpret_cast<const BYTE*>(&word);
        bytes_.insert(bytes_.end(), p, p + 4);
        return *this;
    }
    RecordWriter& Text(const _stringx& text)
    {
        const BYTE* p = reinterpret_cast<const BYTE*>(text.c_str());
        bytes_.insert(bytes_.end(), p, p + text.size() * 2);
        return *this;
    }
    RecordWriter& Bytes(PipeBytes bytes)
    {
        bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
        return *this;
    }
    std::vector<BYTE> Finish()
    {
        Word(0);
        return std::move(bytes_);
    }

private:
    std::vector<BYTE> bytes_;
};

DWORD Length(const _stringx& text) noexcept
{
    return static_cast<DWORD>(text.size() * 2);
}

} // namespace

bool ReadProxyRequest(PipeBytes payload, ProxyRequestView& request)
{
    RecordReader reader(payload);
    DWORD length1 = 0;
    DWORD length2 = 0;
    if (!reader.Word(request.code) || !reader.Word(request.value) || !reader.Word(length1) || !reader.Word(length2))
        return false;
    if (!reader.Fits(static_cast<unsigned long long>(length1) + length2))
        return false;
    request.data1 = payload.subspan(16, length1);
    request.data2 = payload.subspan(16 + static_cast<size_t>(length1), length2);
    return true;
}

std::vector<BYTE> WriteProxyRequest(DWORD code, DWORD value, PipeBytes data1, PipeBytes data2)
{
    return RecordWriter()
        .Word(code)
        .Word(value)
        .Word(static_cast<DWORD>(data1.size()))
        .Word(static_cast<DWORD>(data2.size()))
        .Bytes(data1)
        .Bytes(data2)
        .Finish();
}

bool ReadWord(PipeBytes bytes, DWORD& word)
{
    return RecordReader(bytes).Word(word);
}

std::vector<BYTE> WriteWord(DWORD word)
{
    std::vector<BYTE> bytes(4);
    std::memcpy(bytes.data(), &word, 4);
    return bytes;
}

bool ReadMsiCommandData(PipeBytes bytes, MsiCommandData& data)
{
    RecordReader reader(bytes);
    DWORD lengths[2] = {};
    return reader.Word(data.log_mode) && reader.Words(lengths, 2) &&
           reader.Fits(static_cast<unsigned long long>(lengths[0]) + lengths[1]) &&
           reader.Text(lengths[0], data.command_line) && reader.Text(lengths[1], data.log_path);
}

std::vector<BYTE> WriteMsiCommandData(const MsiCommandData& data)
{
    return RecordWriter()
        .Word(data.log_mode)
        .Word(Length(data.command_line))
        .Word(Length(data.log_path))
        .Text(data.command_line)
        .Text(data.log_path)
        .Finish();
}

bool ReadFolderReply(PipeBytes bytes, _stringx& path)
{
    RecordReader reader(bytes);
    DWORD status = 0;
    DWORD length = 0;
    return reader.Word(status) && reader.Word(length) && reader.Text(length, path);
}

std::vector<BYTE> WriteFolderReply(const _stringx& path)
{
    return RecordWriter().Word(0).Word(Length(path)).Text(path).Finish();
}

namespace {
constexpr size_t kArpTextsAt = 24 + 8 * ArpRecord::kTexts; // 152
}

bool ReadArpRecord(PipeBytes bytes, ArpRecord& record)
{
    RecordReader reader(bytes);
    DWORD places[2 * ArpRecord::kTexts] = {};
    if (!reader.Word(record.operation) || !reader.Word(record.version) || !reader.Word(record.size) ||
        !reader.Word(record.language) || !reader.Word(record.icon) || !reader.Word(record.flags) ||
        !reader.Words(places, 2 * ArpRecord::kTexts))
        return false;
    const PipeBytes texts = bytes.subspan(kArpTextsAt);
    // Each text is checked on its own: offsets may point anywhere in the text area.
    for (size_t i = 0; i < ArpRecord::kTexts; ++i) {
        RecordReader text(texts);
        if (!text.Skip(places[2 * i]) || !text.Text(places[2 * i + 1], record.texts[i]))
            return false;
    }
    return true;
}

std::vector<BYTE> WriteAppxRequestRecord(const AppxRequestRecord& record)
{
    RecordWriter writer;
    writer.Word(record.operation).Word(record.value).Word(record.version_high).Word(record.version_low);
    writer.Word(Length(record.architecture)).Word(Length(record.publisher)).Word(0);
    writer.Text(record.architecture).Text(record.publisher);
    return writer.Finish();
}

std::vector<BYTE> WriteArpRecord(const ArpRecord& record)
{
    RecordWriter writer;
    writer.Word(record.operation).Word(record.version).Word(record.size).Word(record.language).Word(record.icon).Word(
        record.flags);
    DWORD offset = 0;
    for (const _stringx& text : record.texts) {
        writer.Word(text.empty() ? 0 : offset).Word(Length(text));
        offset += Length(text);
    }
    for (const _stringx& text : record.texts)
        writer.Text(text);
    return writer.Finish();
}

bool ReadExtensionCallRequest(PipeBytes bytes, bool progress_record, ExtensionCallRequest& request)
{
    RecordReader reader(bytes);
    DWORD words[6] = {};
    if (!reader.Words(words, 6))
        return false;
    request.sub_code = words[0];
    request.has_progress = progress_record && request.sub_code == 6;
    if (request.has_progress)
        return reader.Fits(static_cast<unsigned long long>(words[2]) + 12) && reader.Text(words[2], request.text1) &&
               reader.Words(request.progress, 3);
    return reader.Fits(static_cast<unsigned long long>(words[2]) + words[3]) && reader.Text(words[2], request.text1) &&
           reader.Text(words[3], request.text2);
}

std::vector<BYTE> WriteExtensionCallRequest(const ExtensionCallRequest& request)
{
    RecordWriter writer;
    writer.Word(request.sub_code).Word(0).Word(Length(request.text1));
    if (request.has_progress) {
        writer.Word(4).Word(4).Word(4).Text(request.text1);
        for (DWORD word : request.progress)
            writer.Word(word);
    } else {
        writer.Word(Length(request.text2)).Word(0).Word(0).Text(request.text1).Text(request.text2);
    }
    return writer.Finish();
}

bool ReadExtensionCallResult(PipeBytes bytes, ExtensionCallResult& result)
{
    RecordReader reader(bytes);
    DWORD words[6] = {};
    if (!reader.Words(words, 6))
        return false;
    result.sub_code = words[0];
    result.status = static_cast<HRESULT>(words[1]);
    return reader.Bytes(words[2], result.result);
}

std::vector<BYTE> WriteExtensionCallResult(const ExtensionCallResult& result)
{
    return RecordWriter()
        .Word(result.sub_code)
        .Word(static_cast<DWORD>(result.status))
        .Word(static_cast<DWORD>(result.result.size()))
        .Word(0)
        .Word(0)
        .Word(0)
        .Bytes(result.result)
        .Finish();
}

bool ReadClrCallData(PipeBytes bytes, ClrCallData& data)
{
    RecordReader reader(bytes);
    DWORD words[4] = {};
    return reader.Words(words, 4) &&
           reader.Fits(static_cast<unsigned long long>(words[1]) + words[2] + words[3]) &&
           reader.Text(words[1], data.file) && reader.Text(words[2], data.name) && reader.Text(words[3], data.arguments);
}

std::vector<BYTE> WriteClrCallData(const ClrCallData& data)
{
    return RecordWriter()
        .Word(1)
        .Word(Length(data.file))
        .Word(Length(data.name))
        .Word(Length(data.arguments))
        .Text(data.file)
        .Text(data.name)
        .Text(data.arguments)
        .Finish();
}

bool ReadQuillexCallData(PipeBytes bytes, QuillexCallData& data)
{
    RecordReader reader(bytes);
    DWORD lengths[2] = {};
    if (!reader.Word(data.debug) || !reader.Words(lengths, 2) ||
        !reader.Fits(static_cast<unsigned long long>(lengths[0]) + lengths[1]) || !reader.Text(lengths[0], data.function))
        return false;
    data.debug_text.clear();
    return data.debug != 1 || reader.Text(lengths[1], data.debug_text);
}

std::vector<BYTE> WriteQuillexCallData(const QuillexCallData& data)
{
    return RecordWriter()
        .Word(data.debug)
        .Word(Length(data.function))
        .Word(Length(data.debug_text))
        .Text(data.function)
        .Text(data.debug_text)
        .Finish();
}

bool ReadExeLaunchData(PipeBytes bytes, ExeLaunchData& data)
{
    RecordReader reader(bytes);
    DWORD lengths[2] = {};
    return reader.Word(data.show) && reader.Word(data.wait) && reader.Words(lengths, 2) &&
           reader.Fits(static_cast<unsigned long long>(lengths[0]) + lengths[1]) &&
           reader.Text(lengths[0], data.arguments) && reader.Text(lengths[1], data.verb);
}

std::vector<BYTE> WriteExeLaunchData(const ExeLaunchData& data)
{
    return RecordWriter()
        .Word(data.show)
        .Word(data.wait)
        .Word(Length(data.arguments))
        .Word(Length(data.verb))
        .Text(data.arguments)
        .Text(data.verb)
        .Finish();
}

bool ReadWebDeployCallData(PipeBytes bytes, WebDeployCallData& data)
{
    RecordReader reader(bytes);
    DWORD lengths[2] = {};
    return reader.Words(lengths, 2) && reader.Fits(static_cast<unsigned long long>(lengths[0]) + lengths[1]) &&
           reader.Text(lengths[0], data.a) && reader.Text(lengths[1], data.b);
}

std::vector<BYTE> WriteWebDeployCallData(const WebDeployCallData& data)
{
    return RecordWriter().Word(Length(data.a)).Word(Length(data.b)).Text(data.a).Text(data.b).Finish();
}

bool ReadRegistryRecord(PipeBytes bytes, RegistryRecord& record)
{
    RecordReader reader(bytes);
    DWORD lengths[3] = {};
    return reader.Word(record.root) && reader.Word(record.type) && reader.Word(record.flags) &&
           reader.Words(lengths, 3) &&
           reader.Fits(static_cast<unsigned long long>(lengths[0]) + lengths[1] + lengths[2]) &&
           reader.Text(lengths[0], record.key_path) && reader.Text(lengths[1], record.value_name) &&
           reader.Bytes(lengths[2], record.data);
}

std::vector<BYTE> WriteRegistryRecord(const RegistryRecord& record)
{
    return RecordWriter()
        .Word(record.root)
        .Word(record.type)
        .Word(record.flags)
        .Word(Length(record.key_path))
        .Word(Length(record.value_name))
        .Word(static_cast<DWORD>(record.data.size()))
        .Text(record.key_path)
        .Text(record.value_name)
        .Bytes(record.data)
        .Finish();
}

bool ReadMsiUiCallback(PipeBytes bytes, MsiUiCallback& callback)
{
    RecordReader reader(bytes);
    DWORD length = 0;
    return reader.Word(callback.code) && reader.Word(callback.flags) && reader.Word(callback.progress_flags) &&
           reader.Word(callback.current) && reader.Word(callback.maximum) && reader.Word(length) &&
           reader.Text(length, callback.text);
}

std::vector<BYTE> WriteMsiUiCallback(const MsiUiCallback& callback)
{
    return RecordWriter()
        .Word(callback.code)
        .Word(callback.flags)
        .Word(callback.progress_flags)
        .Word(callback.current)
        .Word(callback.maximum)
        .Word(Length(callback.text))
        .Text(callback.text)
        .Finish();
}

bool ReadKrpProgressCallback(PipeBytes bytes, KrpProgressCallback& callback)
{
    RecordReader reader(bytes);
    if (!reader.Word(callback.code))
        return false;
    if (callback.code != 4) {
        DWORD length = 0;
        return reader.Words(callback.words, 3) && reader.Word(length) && reader.Text(length, callback.text);
    }
    DWORD words[6] = {}; // kind, 0, 0, both texts + 12, query length, default length
    if (!reader.Words(words, 6) || !reader.Fits(static_cast<unsigned long long>(words[4]) + words[5]))
        return false;
    callback.query_kind = words[0];
    return reader.Text(words[4], callback.text) && reader.Text(words[5], callback.default_answer);
}

std::vector<BYTE> WriteKrpProgressCallback(const KrpProgressCallback& callback)
{
    RecordWriter writer;
    writer.Word(callback.code);
    if (callback.code != 4) {
        for (DWORD word : callback.words)
            writer.Word(word);
        return writer.Word(Length(callback.text)).Text(callback.text).Finish();
    }
    const DWORD both = Length(callback.text) + Length(callback.default_answer);
    return writer.Word(callback.query_kind)
        .Word(0)
        .Word(0)
        .Word(both + 12)
        .Word(Length(callback.text))
        .Word(Length(callback.default_answer))
        .Text(callback.text)
        .Text(callback.default_answer)
        .Word(0) // the query record ends in 8 zero bytes
        .Finish();
}

bool ReadCallbackAnswer(PipeBytes bytes, CallbackAnswer& answer)
{
    RecordReader reader(bytes);
    DWORD status = 0;
    if (!reader.Word(status) || !reader.Word(answer.cancel) || !reader.Word(answer.action))
        return false;
    answer.status = static_cast<LONG>(status);
    return true;
}

std::vector<BYTE> WriteCallbackAnswer(const CallbackAnswer& answer)
{
    // Exactly 12 bytes: this answer carries no trailing zeros.
    std::vector<BYTE> bytes = RecordWriter().Word(static_cast<DWORD>(answer.status)).Word(answer.cancel).Word(
        answer.action).Finish();
    bytes.resize(12);
    return bytes;
}

bool ReadQueryAnswer(PipeBytes bytes, QueryAnswer& answer)
{
    RecordReader reader(bytes);
    DWORD words[4] = {}; // status, 0, kind, length
    if (!reader.Words(words, 4))
        return false;
    answer.status = static_cast<LONG>(words[0]);
    answer.kind = words[2];
    answer.answer.clear();
    return answer.kind != QueryAnswer::kText || reader.Text(words[3], answer.answer);
}

std::vector<BYTE> WriteQueryAnswer(const QueryAnswer& answer)
{
    const bool text = answer.kind == QueryAnswer::kText;
    return RecordWriter()
        .Word(static_cast<DWORD>(answer.status))
        .Word(0)
        .Word(answer.kind)
        .Word(text ? Length(answer.answer) : 0)
        .Text(text ? answer.answer : _stringx())
        .Finish();
}
