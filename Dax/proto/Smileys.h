// Smiley markup in incoming texts: <smile>...</smile> tags (an "id=" number or an "alt='...'" text)
// and <###20###imgN> tags become text smileys; cartoon messages become a line naming the cartoon.
#pragma once

#include "ZELCommon/ZELString.h"

namespace Mrim {

// The text smiley of a tag's content (lower case), or empty.
CZELString ConvertSmileyTags(const CZELString& content);
// The text smiley of an image code, or empty.
CZELString ImgCodeToSmiley(unsigned code);
// text with every tag that has a smiley replaced; tags without one stay as they are.
CZELString ReplaceSmileyTags(const CZELString& text);
// "Собеседник прислал мульт: " and the first cartoon title the text contains, or empty.
CZELString ExpandCartoonMessage(const CZELString& text);

} // namespace Mrim
