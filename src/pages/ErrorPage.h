#pragma once

#include <string>
#include <string_view>

namespace poremisu {

// The language of what the program says for the page engine (its error
// pages, the load's status texts): Japanese under a Japanese locale, English
// under any other. The program's own captions never change.
enum class PageLanguage { Japanese, English };

// Why a load failed, as far as the user is told.
enum class LoadFailure {
    Other,
    HostNotFound,
    Refused,
    TimedOut,
    HostUnreachable,
    NetworkUnreachable,
    FileNotFound,
    Denied,
    BadFileName,       // the engine could not take the file's name
    UnreadableName,    // the name is no text here, so it never reached the engine
    ConnectionClosed,
    Insecure,
    UnknownScheme,
    Transport,
    CannotShowType,
    CannotShowAddress,
    RestrictedPort,
};

// The page shown under an address whose load failed: UTF-8, as its meta tag
// declares, in every code page; `address` and `engineMessage` are the
// engine's UTF-8 texts. In Japanese the program says why in its own words;
// in English it gives the engine's message, which it has no better words for.
std::string ErrorPageHtml(PageLanguage language, std::string_view address, LoadFailure failure,
                          std::string_view engineMessage);

// Why a server's certificate was not trusted, any of them at once.
namespace certificate {
inline constexpr unsigned kUnknownIssuer = 1;
inline constexpr unsigned kWrongHost = 2;
inline constexpr unsigned kNotYetValid = 4;
inline constexpr unsigned kExpired = 8;
inline constexpr unsigned kRevoked = 16;
inline constexpr unsigned kInsecure = 32;
inline constexpr unsigned kOther = 64;
}  // namespace certificate

// What the user is shown of a certificate: UTF-8 texts as the engine gives them.
struct CertificateFacts {
    std::string host, subject, issuer, validFrom, validUntil, sha256;
    unsigned reasons = 0;
};

// The page shown in place of a site whose certificate was not trusted: the
// host, every reason, the certificate's facts, and a link to `goOnHref`,
// marked as unsafe, that goes on to the site with this certificate.
std::string CertificatePageHtml(PageLanguage language, std::string_view address, const CertificateFacts& facts,
                                std::string_view goOnHref);

// The status texts of a load, in UTF-8: the address being opened, then done.
std::string OpeningStatusText(PageLanguage language, std::string_view address);
std::string DoneStatusText(PageLanguage language);

}  // namespace poremisu
