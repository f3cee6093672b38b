// CSkinImages: the skin image registry service. It gives every component, plug-ins included, a
// stable index for a skin image name, and tells the current background brush, text colour and
// interface language. The images live in the user interface's image set; the registry forwards.
#pragma once

#include "Zel/core/skin/ISkinImages.h"
#include "Zel/core/skin/SkinImageSet.h"
#include "ZELCommon/ZELCriticalSection.h"
#include "ZELCommon/ZELString.h"

#include <windows.h>

namespace Services {
class CServicesManager;
}

// Registered as its ISkinImages, whose slots come first in its virtual table; it adds none of its
// own (final, with a plain destructor), so the table holds the five operations only.
class CSkinImages final : public ISkinImages {
public:
    CSkinImages(Services::CServicesManager& bus, CSkinImageSet& images);
    ~CSkinImages();
    CSkinImages(const CSkinImages&) = delete;
    CSkinImages& operator=(const CSkinImages&) = delete;

    int AcquireImage(const CZELString& name) override;
    void ReleaseImage(int index) override;
    CZELString& GetLanguageName(CZELString& out) override;
    HBRUSH GetBkBrush() override;
    COLORREF GetTextColor() override;

    // The application tells what it currently holds (language, skin background, scheme colour 22).
    void SetLanguageName(const CZELString& name);
    void SetBkBrush(HBRUSH brush);
    void SetTextColor(COLORREF colour);

private:
    Services::CServicesManager& bus;
    CSkinImageSet& images;
    int serviceHandle;

    CZELCriticalSection lock;  // guards the three values below, read from accounts' threads
    CZELString languageName;
    HBRUSH bkBrush;
    COLORREF textColor;
};
