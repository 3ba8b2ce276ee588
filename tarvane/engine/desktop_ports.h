#pragma once

#include <string>

namespace tarvane {

// The ways the engine reaches the desktop. The GUI implements them; tests record what was asked.

class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    // Plays the completion sound; its result is not needed.
    virtual void PlayCompletionSound() = 0;
};

// The end of a task, told on the worker's thread as it happens. Text in code page 936.
class TaskEnds {
public:
    virtual ~TaskEnds() = default;
    // `file` is the name with its type, `folder` where it lies; `unpackFailure` why the finished
    // archive could not be unpacked (empty when it was, or is none).
    virtual void Finished(const std::string& file, const std::string& folder, const std::string& unpackFailure) = 0;
    // The last word on a task: its retries are used up or nothing can mend it. Not a pause.
    virtual void FailedForGood(const std::string& name, const std::string& reason) = 0;
};

enum class MessageButtons { Ok, OkCancel };
enum class MessageAnswer { Ok, Cancel };

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual MessageAnswer Show(const std::string& text, const std::string& caption, MessageButtons buttons) = 0;
    // The same with OK and the exclamation icon.
    virtual MessageAnswer Warn(const std::string& text, const std::string& caption) {
        return Show(text, caption, MessageButtons::Ok);
    }
};

class Clipboard {
public:
    virtual ~Clipboard() = default;
    virtual bool PutText(const std::string& text) = 0;
};

class Desktop {
public:
    virtual ~Desktop() = default;
    // Shows the file manager with the file selected.
    virtual void ShowFileInFolder(const std::string& file) = 0;
    virtual void OpenFolder(const std::string& folder) = 0;
    // Opens a web page in the desktop's browser.
    virtual void OpenWebPage(const std::string& url) = 0;
};

}  // namespace tarvane
