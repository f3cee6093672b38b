// CSkinImages: the skin image registry service. It gives every component, plug-ins included, a
// stable index for a skin image name, and tells the current background brush, text colour and
// interface language. The images live in the user interface's image set; the registry forwards.
#pragma once

#include "Zel/core/skin/SkinImageSet.h"
#include "ZELCommon/ZELCriticalSection.h"
#include "ZELCommon/ZELString.h"

#include <windows.h>

namespace Services {
class CServicesManager;
}

class CSkinImages {
public:
    CSkinImages(Services::CServicesManager& bus, CSkinImageSet& images);
    virtual ~CSkinImages();
    CSkinImages(const CSkinImages&) = delete;
    CSkinImages& operator=(const CSkinImages&) = delete;

    // The service's interface: other modules call these slots in this order.
    virtual int AcquireImage(const CZELString& name);
    virtual void ReleaseImage(int index);
    virtual CZELString& GetLanguageName(CZELString& out);
    virtual HBRUSH GetBkBrush();
    virtual COLORREF GetTextColor();

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
