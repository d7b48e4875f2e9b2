#include "parcels/PayloadFile.h"

#include "kr/file_system.h"
#include "payload/Stream.h"
#include "staging/StagingHost.h"

_stringx ExtractPayloadFile(const _stringx& name)
{
    IStagingHost* host = StagingHost();
    STREAM* stream = host ? host->GetStream() : nullptr;
    const StreamFileEntry* entry = nullptr;
    DWORD dataOffset = 0;
    if (!stream || !stream->is_open() || !stream->FindStreamFile(name, entry, dataOffset))
        return _stringx();
    const _stringx path = host->GetStagingFolder().path_combine(name);
    kr::create_folder_of(path);
    return stream->ExtractEntry(*entry, dataOffset, path, nullptr) == 1 ? path : _stringx();
}
