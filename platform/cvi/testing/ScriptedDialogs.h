// Popups answered from a script, each one logged with its texts.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "cvi/Services.h"
#include "cvi/TestDriver.h"

namespace cvi {

class ScriptedDialogs final : public Dialogs {
public:
    void AnswerButton(int button) { answers_.push_back({AnswerKind::Button, button, {}}); }
    void AnswerKey(int key) { answers_.push_back({AnswerKind::Key, key, {}}); }
    void AnswerFile(std::optional<std::string> path) { answers_.push_back({AnswerKind::File, 0, std::move(path)}); }
    void SetHandler(std::function<int(const PopupRecord &)> handler) { handler_ = std::move(handler); }
    const std::vector<PopupRecord> &Log() const { return log_; }
    bool HadUnanswered() const { return unanswered_; }

    int Message(const std::string &title, const std::string &message) override;
    int Generic(const GenericPopupRequest &request) override;
    int SelectFile(const FileSelectRequest &request, FileSelectAnswer &answer) override;
    int OpenDocument(const std::string &document, int displayMode) override;

private:
    enum class AnswerKind { Button, Key, File };
    struct ScriptedAnswer {
        AnswerKind kind;
        int number;
        std::optional<std::string> path;
    };

    int Respond(PopupRecord record);

    std::deque<ScriptedAnswer> answers_;
    std::function<int(const PopupRecord &)> handler_;
    std::vector<PopupRecord> log_;
    bool unanswered_ = false;
};

} // namespace cvi
