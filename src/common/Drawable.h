// CDrawable: abstract base of the things the viewer draws. Slot order is
// part of the design: Draw, Init, Release.
#pragma once

class CDrawable
{
public:
    virtual ~CDrawable() = default;
    virtual void Draw() = 0;
    virtual bool Init() { return false; }
    virtual void Release() {}
};
