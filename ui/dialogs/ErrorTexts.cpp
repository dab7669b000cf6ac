#include "ui/dialogs/ErrorTexts.h"

#include <cstdint>

namespace {

struct ErrorText {
    int id;
    const char16_t* text;
};

constexpr ErrorText kTexts[] = {
    {400, u"The server responded with 'Bad Format'.  An entity written to the server is syntactically invalid."},
    {401, u"The server responded with 'Unauthorized'.  The username & password may be incorrect."},
    {403, u"The server responded with 'Forbidden'.  The request was valid, but the server will not process it.  "
          u"Additionally, the username & password was correct."},
    {404, u"The server responded with 'Not Found'.  The request was valid, but the server cannot find the "
          u"requested item."},
    {407, u"The server responded with 'Proxy Authentication Required'.  Authentication or authorization for proxy "
          u"is required.  However, the username & password may be incorrect."},
    {409, u"The server responded with 'Conflict'.  The request could not be handled because the item already "
          u"exists on the server."},
    {412, u"The server responded with 'Precondition Failed'.  There is a newer version of the item on the server."},
    {500, u"The server responded with 'Internal Server Error'.  Something bad happened on the server."},
    {503, u"The server responded with 'Service Unavailable'.  The server is overloaded and busy.  Please try your "
          u"request later or contact your server administrator."},
    {30011, u"Data of ERROR_BAD_FORMAT was encountered."},
    {30026, u"Unexpected End of File Encountered.  While reading a file, resource, or event, the end of the file "
            u"was unexpectedly hit."},
    {30056, u"Invalid Password.  The server has responded with an invalid password.  Please verify your username "
            u"and password."},
    {31392, u"The calendar database (OrvaneDB.sqlite in the data folder) is damaged.  Orvane leaves it as it is and "
            u"shows no stored calendars.  Restore the file from a backup, or move it out of the data folder so that "
            u"Orvane starts a new one and the accounts download their calendars again."},
    {599, u"There is no additional information about this error."},
};

}  // namespace

const char16_t* FindErrorText(int id) {
    for (const ErrorText& entry : kTexts) {
        if (entry.id == id) return entry.text;
    }
    return nullptr;
}

const char16_t* ErrorTextForCode(RResult code) {
    if (const char16_t* own = FindErrorText(code)) return own;
    // The low word is the Windows error number inside the program's own failure codes; a whole
    // match is needed, so an HTTP status such as 502 does not pass for one of them.
    switch (static_cast<std::uint32_t>(code) & 0xFFFFu) {
        case 38: return FindErrorText(30026);
        case 86: return FindErrorText(30056);
        case 11: return FindErrorText(30011);
        case 1392: return FindErrorText(31392);
        default: return FindErrorText(599);
    }
}
