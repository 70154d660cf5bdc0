// TextStream objects: text files read and written in the platform's ANSI
// code page, or as UTF-16 with a byte-order mark when opened as Unicode.
//
// A stream for writing adds each Write to the stored file at once (one
// transaction per call), so the text is there even when a script never
// calls Close. A stream for reading takes the file's text when it opens.
#include "platform/embedded/files/fso_objects.h"
#include "platform/embedded/files/unicode.h"

namespace tarnwick::platform::embedded::files::fso {

namespace {

constexpr std::string_view kByteOrderMark = "\xFF\xFE";
constexpr std::string_view kLineEnd = "\r\n";

class TextStream : public automation::Dispatch {
public:
    TextStream(ContextRef context, std::string path, StreamMode mode, bool unicode,
               std::string text)
        : context_(std::move(context)),
          path_(std::move(path)),
          mode_(mode),
          unicode_(unicode),
          text_(std::move(text)) {}

    Variant invoke(std::string_view name, InvokeKind kind, std::span<Variant> args) override {
        return dispatch(*this, kMembers, name, kind, args);
    }

private:
    bool reading() const { return mode_ == StreamMode::Reading; }
    bool atEnd() const { return position_ >= text_.size(); }

    void enter(const MemberCall& call, bool forReading) {
        context_->check(call.name, path_);
        if (closed_ || reading() != forReading) raiseScriptError(numbers::kBadFileMode);
    }

    // Keeps Line and Column in step with text read or written.
    void pass(std::string_view text) {
        auto lastLineEnd = text.rfind('\n');
        if (lastLineEnd == std::string_view::npos) {
            column_ += static_cast<int32_t>(utf8Length(text));
            return;
        }
        for (char c : text) {
            if (c == '\n') ++line_;
        }
        column_ = 1 + static_cast<int32_t>(utf8Length(text.substr(lastLineEnd + 1)));
    }

    void write(std::string_view text) {
        auto bytes = unicode_ ? utf8ToUtf16le(text) : context_->ansi->fromUtf8(text);
        guarded(Looking::ForFile,
                [&] { context_->files->writeFile(path_, bytes, WriteMode::Append); });
        pass(text);
    }

    std::string take(size_t end) {
        auto chunk = text_.substr(position_, end - position_);
        position_ = end;
        pass(chunk);
        return chunk;
    }

    Variant writeText(const MemberCall& call) {
        call.expectArguments(1, 1);
        enter(call, false);
        write(automation::toText(call.args[0]));
        return {};
    }

    Variant writeLine(const MemberCall& call) {
        call.expectArguments(0, 1);
        enter(call, false);
        write((call.args.empty() ? std::string() : automation::toText(call.args[0])) +
              std::string(kLineEnd));
        return {};
    }

    Variant writeBlankLines(const MemberCall& call) {
        call.expectArguments(1, 1);
        enter(call, false);
        auto count = call.number(0, 0);
        if (count < 0) raiseScriptError(numbers::kInvalidProcedureCall);
        std::string lines;
        for (int32_t i = 0; i < count; ++i) lines += kLineEnd;
        if (!lines.empty()) write(lines);
        return {};
    }

    // The end of the current line and where the next one starts.
    std::pair<size_t, size_t> lineBounds() const {
        auto end = text_.find_first_of("\r\n", position_);
        if (end == std::string::npos) return {text_.size(), text_.size()};
        size_t next = end + 1;
        if (text_[end] == '\r' && next < text_.size() && text_[next] == '\n') ++next;
        return {end, next};
    }

    Variant readLine(const MemberCall& call) {
        call.expectArguments(0, 0);
        enter(call, true);
        if (atEnd()) raiseScriptError(numbers::kInputPastEnd);
        auto [end, next] = lineBounds();
        auto line = text_.substr(position_, end - position_);
        take(next);
        return line;
    }

    Variant skipLine(const MemberCall& call) {
        call.expectArguments(0, 0);
        enter(call, true);
        if (atEnd()) raiseScriptError(numbers::kInputPastEnd);
        take(lineBounds().second);
        return {};
    }

    Variant readAll(const MemberCall& call) {
        call.expectArguments(0, 0);
        enter(call, true);
        if (atEnd()) raiseScriptError(numbers::kInputPastEnd);
        return take(text_.size());
    }

    Variant read(const MemberCall& call) {
        call.expectArguments(1, 1);
        enter(call, true);
        auto count = call.number(0, 0);
        if (count < 0) raiseScriptError(numbers::kInvalidProcedureCall);
        if (atEnd()) raiseScriptError(numbers::kInputPastEnd);
        return take(utf8Advance(text_, position_, static_cast<size_t>(count)));
    }

    Variant skip(const MemberCall& call) {
        call.expectArguments(1, 1);
        enter(call, true);
        auto count = call.number(0, 0);
        if (count < 0) raiseScriptError(numbers::kInvalidProcedureCall);
        if (atEnd() && count > 0) raiseScriptError(numbers::kInputPastEnd);
        take(utf8Advance(text_, position_, static_cast<size_t>(count)));
        return {};
    }

    Variant atEndOfStream(const MemberCall& call) {
        call.expectArguments(0, 0);
        enter(call, true);
        return atEnd();
    }

    Variant atEndOfLine(const MemberCall& call) {
        call.expectArguments(0, 0);
        enter(call, true);
        return atEnd() || text_[position_] == '\r' || text_[position_] == '\n';
    }

    Variant line(const MemberCall& call) {
        call.expectArguments(0, 0);
        context_->check(call.name, path_);
        return line_;
    }

    Variant column(const MemberCall& call) {
        call.expectArguments(0, 0);
        context_->check(call.name, path_);
        return column_;
    }

    Variant close(const MemberCall& call) {
        call.expectArguments(0, 0);
        context_->check(call.name, path_);
        closed_ = true;
        return {};
    }

    static constexpr std::array<Member<TextStream>, 13> kMembers{{
        {"Write", &TextStream::writeText},
        {"WriteLine", &TextStream::writeLine},
        {"WriteBlankLines", &TextStream::writeBlankLines},
        {"ReadLine", &TextStream::readLine},
        {"ReadAll", &TextStream::readAll},
        {"Read", &TextStream::read},
        {"Skip", &TextStream::skip},
        {"SkipLine", &TextStream::skipLine},
        {"AtEndOfStream", &TextStream::atEndOfStream},
        {"AtEndOfLine", &TextStream::atEndOfLine},
        {"Line", &TextStream::line},
        {"Column", &TextStream::column},
        {"Close", &TextStream::close},
    }};

    ContextRef context_;
    std::string path_;
    StreamMode mode_;
    bool unicode_;
    std::string text_;  // UTF-8; what a reading stream reads
    size_t position_ = 0;
    int32_t line_ = 1;
    int32_t column_ = 1;
    bool closed_ = false;
};

std::string decode(const Context& context, std::string_view bytes, bool unicode) {
    if (!unicode) return context.ansi->toUtf8(bytes);
    if (bytes.substr(0, 2) == kByteOrderMark) bytes.remove_prefix(2);
    return utf16leToUtf8(bytes);
}

}  // namespace

ObjectRef createTextFile(ContextRef context, const std::string& path, bool overwrite,
                         bool unicode) {
    guarded(Looking::ForFile, [&] {
        context->files->writeFile(path, unicode ? kByteOrderMark : std::string_view(),
                                  overwrite ? WriteMode::Replace : WriteMode::CreateNew);
    });
    auto stored = context->files->entry(path).pathText();
    return std::make_shared<TextStream>(std::move(context), stored, StreamMode::Writing, unicode,
                                        std::string());
}

ObjectRef openTextStream(ContextRef context, const std::string& path, StreamMode mode, bool create,
                         bool unicode) {
    std::optional<Entry> existing;
    try {
        existing = context->files->entry(path);
    } catch (const FileError& error) {
        if (error.kind() != FileErrorKind::NotFound) raiseFileError(error, Looking::ForFile);
    }
    const std::string_view mark = unicode ? kByteOrderMark : std::string_view();
    if (existing && existing->folder) raiseScriptError(numbers::kPermissionDenied);
    if (!existing) {
        if (!create) raiseScriptError(numbers::kFileNotFound);
        guarded(Looking::ForFile, [&] {
            context->files->writeFile(path, mode == StreamMode::Reading ? std::string_view() : mark,
                                      WriteMode::CreateNew);
        });
    } else if (mode != StreamMode::Reading) {
        if (existing->readOnly()) raiseScriptError(numbers::kPermissionDenied);
        bool empty = context->files->size(path) == 0;
        if (mode == StreamMode::Writing || empty) {
            guarded(Looking::ForFile,
                    [&] { context->files->writeFile(path, mark, WriteMode::Replace); });
        }
    }
    auto stored = context->files->entry(path).pathText();
    std::string text;
    if (mode == StreamMode::Reading) {
        text = decode(*context,
                      guarded(Looking::ForFile, [&] { return context->files->readFile(stored); }),
                      unicode);
    }
    return std::make_shared<TextStream>(std::move(context), stored, mode, unicode, std::move(text));
}

}  // namespace tarnwick::platform::embedded::files::fso
