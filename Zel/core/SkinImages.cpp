#include "Zel/core/SkinImages.h"

#include "Zel/core/CoreGuids.h"
#include "Zel/core/ServicesManager.h"

CSkinImages::CSkinImages(Services::CServicesManager& bus, CSkinImageSet& images)
    : bus(bus), images(images), serviceHandle(0), languageName(L"English"), bkBrush(nullptr), textColor(0)
{
    serviceHandle = bus.RegisterService(GUID_SKIN_IMAGES, this);
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
    lock.Enter();
    out = languageName;
    lock.Leave();
    return out;
}

HBRUSH CSkinImages::GetBkBrush()
{
    lock.Enter();
    HBRUSH brush = bkBrush;
    lock.Leave();
    return brush;
}

COLORREF CSkinImages::GetTextColor()
{
    lock.Enter();
    COLORREF colour = textColor;
    lock.Leave();
    return colour;
}

void CSkinImages::SetLanguageName(const CZELString& name)
{
    lock.Enter();
    languageName = name;
    lock.Leave();
}

void CSkinImages::SetBkBrush(HBRUSH brush)
{
    lock.Enter();
    bkBrush = brush;
    lock.Leave();
}

void CSkinImages::SetTextColor(COLORREF colour)
{
    lock.Enter();
    textColor = colour;
    lock.Leave();
}
