#include "ScriptedDialogs.h"

#include "cvi/UserInterface.h"

namespace cvi {

namespace {

bool HasButton(const PopupRecord &record, int button)
{
    if (record.kind == PopupRecord::Kind::Message)
        return button == 1;
    return button >= 1 && button <= static_cast<int>(record.buttons.size()) && !record.buttons[button - 1].empty();
}

} // namespace

int ScriptedDialogs::Respond(PopupRecord record)
{
    int result = UIE_POPUP_UNANSWERED;
    if (!answers_.empty()) {
        const ScriptedAnswer answer = answers_.front();
        answers_.pop_front();
        if (record.kind == PopupRecord::Kind::FileSelect) {
            if (answer.kind == AnswerKind::File) {
                record.answer = answer.path ? 1 : 0;
                record.path = answer.path.value_or(std::string());
                result = 0;
            }
        } else if (answer.kind == AnswerKind::Button && HasButton(record, answer.number)) {
            result = answer.number;
        } else if (answer.kind == AnswerKind::Key) {
            // Enter and Escape press the popup's Enter and Escape buttons; a message has only OK.
            const int button = record.kind == PopupRecord::Kind::Message ? 1
                               : answer.number == KEY_ENTER              ? record.enterButton
                               : answer.number == KEY_ESCAPE             ? record.escapeButton
                                                                         : 0;
            if (HasButton(record, button))
                result = button;
        }
    } else if (handler_ && record.kind != PopupRecord::Kind::FileSelect) {
        result = handler_(record);
        if (!HasButton(record, result))
            result = UIE_POPUP_UNANSWERED;
    }
    record.answered = result >= 0;
    if (record.kind != PopupRecord::Kind::FileSelect && result >= 0)
        record.answer = result;
    if (!record.answered)
        unanswered_ = true;
    log_.push_back(std::move(record));
    return result;
}

int ScriptedDialogs::Message(const std::string &title, const std::string &message)
{
    PopupRecord record;
    record.kind = PopupRecord::Kind::Message;
    record.title = title;
    record.message = message;
    record.buttons = {"OK"};
    const int result = Respond(std::move(record));
    return result < 0 ? result : 0;
}

int ScriptedDialogs::Generic(const GenericPopupRequest &request)
{
    PopupRecord record;
    record.kind = PopupRecord::Kind::Generic;
    record.title = request.title;
    record.message = request.message;
    record.buttons.assign(request.buttons.begin(), request.buttons.end());
    record.enterButton = request.enterButton;
    record.escapeButton = request.escapeButton;
    return Respond(std::move(record));
}

int ScriptedDialogs::SelectFile(const FileSelectRequest &request, FileSelectAnswer &answer)
{
    PopupRecord record;
    record.kind = PopupRecord::Kind::FileSelect;
    record.title = request.title;
    record.file = request;
    const int result = Respond(std::move(record));
    if (result < 0)
        return result;
    const PopupRecord &logged = log_.back();
    answer.chosen = logged.answer == 1;
    answer.path = logged.path;
    return 0;
}

int ScriptedDialogs::OpenDocument(const std::string &document, int)
{
    PopupRecord record;
    record.kind = PopupRecord::Kind::Document;
    record.message = document;
    record.answered = true;
    log_.push_back(std::move(record));
    return 0;
}

} // namespace cvi
