// Popups in real windows: a modal message window of its own (MessageBox would block a test
// under Wine, so it stays behind this seam), the common file dialogs and the shell.
#pragma once

#include "cvi/Services.h"

namespace cvi {

class Win32Dialogs final : public Dialogs {
public:
    int Message(const std::string &title, const std::string &message) override;
    int Generic(const GenericPopupRequest &request) override;
    int SelectFile(const FileSelectRequest &request, FileSelectAnswer &answer) override;
    int OpenDocument(const std::string &document, int displayMode) override;
};

} // namespace cvi
