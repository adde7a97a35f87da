#include "LoginResult.h"

namespace LoginResult {

Meaning meaning(int result)
{
    switch (result) {
    case 200:
        return Meaning::LoggedIn;
    case 404:
        return Meaning::UnknownAccount;
    case 429:
        return Meaning::Throttled;
    case 500:
        return Meaning::NoServer;
    default:
        return Meaning::Other;
    }
}

} // namespace LoginResult
