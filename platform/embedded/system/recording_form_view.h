// The installer window on the embedded platform: records every caption
// change, message box, folder picker and shell call in order, answers the
// folder picker with a prepared choice, and tells an observer (the tarnwick
// command prints them) as each one happens.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "installer/form_view.h"

namespace tarnwick::platform::embedded::system {

struct FormEvent {
    enum class Kind { Caption, MessageBox, FolderPicker, ShellExecute };
    Kind kind;
    std::string text;  // the caption, the message, the picker's title, or verb and file

    bool operator==(const FormEvent&) const = default;
};

std::string_view kindName(FormEvent::Kind kind);

class RecordingFormView : public installer::FormView {
public:
    std::vector<FormEvent> events;
    // What the folder picker returns; nullopt: the operator cancels.
    std::optional<std::string> folderChoice;
    std::function<void(const FormEvent&)> observer;

    std::string caption() const { return caption_; }
    // The texts of the events of one kind, in order.
    std::vector<std::string> texts(FormEvent::Kind kind) const;

    void setCaption(std::string_view text) override;
    void messageBox(std::string_view text) override;
    std::optional<std::string> browseForFolder(std::string_view title, uint32_t flags) override;
    void shellExecute(std::string_view verb, std::string_view file, std::string_view parameters,
                      std::string_view directory, int showCommand) override;

private:
    void record(FormEvent::Kind kind, std::string text);
    std::string caption_;
};

}  // namespace tarnwick::platform::embedded::system
