#include "platform/embedded/system/recording_form_view.h"

namespace tarnwick::platform::embedded::system {

std::string_view kindName(FormEvent::Kind kind) {
    switch (kind) {
        case FormEvent::Kind::Caption: return "caption";
        case FormEvent::Kind::MessageBox: return "message";
        case FormEvent::Kind::FolderPicker: return "folder picker";
        case FormEvent::Kind::ShellExecute: return "shell";
    }
    return "";
}

std::vector<std::string> RecordingFormView::texts(FormEvent::Kind kind) const {
    std::vector<std::string> found;
    for (const auto& event : events) {
        if (event.kind == kind) found.push_back(event.text);
    }
    return found;
}

void RecordingFormView::record(FormEvent::Kind kind, std::string text) {
    events.push_back({kind, std::move(text)});
    if (observer) observer(events.back());
}

void RecordingFormView::setCaption(std::string_view text) {
    caption_ = text;
    record(FormEvent::Kind::Caption, std::string(text));
}

void RecordingFormView::messageBox(std::string_view text) {
    record(FormEvent::Kind::MessageBox, std::string(text));
}

std::optional<std::string> RecordingFormView::browseForFolder(std::string_view title, uint32_t) {
    record(FormEvent::Kind::FolderPicker, std::string(title));
    return folderChoice;
}

void RecordingFormView::shellExecute(std::string_view verb, std::string_view file, std::string_view,
                                     std::string_view, int) {
    record(FormEvent::Kind::ShellExecute, std::string(verb) + " " + std::string(file));
}

}  // namespace tarnwick::platform::embedded::system
