#include "Zel/core/skin/SkinImages.h"

#include "Zel/core/CoreGuids.h"
#include "Zel/core/bus/ServicesManager.h"

CSkinImages::CSkinImages(Services::CServicesManager& bus, CSkinImageSet& images)
    : bus(bus), images(images), serviceHandle(0), languageName(L"English"), bkBrush(nullptr), textColor(0)
{
    serviceHandle = bus.RegisterService(GUID_SKIN_IMAGES, static_cast<ISkinImages*>(this));
}

CSkinImages::~CSkinImages()
{
    if (serviceHandle) bus.UnregisterService(serviceHandle);
}

int CSkinImages::AcquireImage(const CZELString& name)
{
    return images.Acquire(name);
}

void CSkinImages::ReleaseImage(int index)
{
    images.Release(index);
}

CZELString& CSkinImages::GetLanguageName(CZELString& out)
{
    CZELLock hold(lock);
    out = languageName;
    return out;
}

HBRUSH CSkinImages::GetBkBrush()
{
    CZELLock hold(lock);
    return bkBrush;
}

COLORREF CSkinImages::GetTextColor()
{
    CZELLock hold(lock);
    return textColor;
}

void CSkinImages::SetLanguageName(const CZELString& name)
{
    CZELLock hold(lock);
    languageName = name;
}

void CSkinImages::SetBkBrush(HBRUSH brush)
{
    CZELLock hold(lock);
    bkBrush = brush;
}

void CSkinImages::SetTextColor(COLORREF colour)
{
    CZELLock hold(lock);
    textColor = colour;
}
