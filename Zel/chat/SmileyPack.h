// CSmileyPack: the smiley pack in use. This build loads no pack yet: every pack stays empty, so the
// chat shows smiley codes as text.
#pragma once

#include "ZELCommon/ZELString.h"

class CSmileyPack {
public:
    CSmileyPack() {}
    explicit CSmileyPack(const CZELString& name) : name(name) {}

    bool IsLoaded() const { return false; }
    const CZELString& GetName() const { return name; }

private:
    CZELString name;
};
