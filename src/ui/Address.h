#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace poremisu {

// The address the engine gets for a text typed or handed to Navigate2.
struct ResolvedAddress {
    enum class Kind {
        Nothing,    // empty text: nothing to load
        Home,       // the built-in start page
        File,       // a local path, turned into a file URI
        AsIs,       // a text that names its scheme
        Web,        // a host name, with "http://" put before it
    };
    Kind kind = Kind::Nothing;
    // The path (File) or the text (AsIs, Web) in the program's code page,
    // with "http://" already put before a Web text.
    std::string text;

};

// Whether the text begins with a scheme: letters (then letters, digits, "+",
// "-" or ".") and a colon that is not followed by a port number, or "://".
bool HasScheme(std::string_view text);

// Classifies an address text, blanks around it dropped. `exists` tells
// whether anything stands at a path on disk; `currentDirectory` resolves
// relative names.
ResolvedAddress ResolveAddress(std::string_view text, const std::function<bool(const std::string&)>& exists,
                               const std::function<std::string()>& currentDirectory);

}  // namespace poremisu
