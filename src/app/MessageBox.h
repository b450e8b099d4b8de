#pragma once

#include <string>

namespace poremisu {

enum class Buttons { Ok, OkCancel };
enum class Answer { Ok, Cancel };

// The window that owns a message box: the box runs modally over it.
class MessageBoxOwner {
public:
    virtual ~MessageBoxOwner() = default;
    virtual Answer MessageBox(const std::string& text, const std::string& caption, Buttons buttons) = 0;
};

}  // namespace poremisu
