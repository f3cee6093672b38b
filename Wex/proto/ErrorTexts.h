// The texts a login reply's or a close frame's error code stands for. They are the plug-in's
// language strings with these numbers; the English wording here is their built-in default.
#pragma once

namespace Wex {

enum { TextAccountUsedElsewhere = 157, TextServerError = 158 };

// The string number of a login or close error code: 125 to 156 for the codes the network defines
// (1 to 30, 32, 34), 0 for any other code.
int LoginErrorTextId(unsigned short code);

// The string number of a close frame's disconnect reason: 157 for reason 1 (the account signed on
// elsewhere), 158 for any other.
int CloseReasonTextId(unsigned short reason);

// The built-in English wording of string 125 to 158; an empty text for any other number.
const wchar_t* ErrorText(int textId);

} // namespace Wex
