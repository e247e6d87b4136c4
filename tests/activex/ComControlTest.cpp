// The generic control layer on its own: a small control that paints a
// colour, drawn through IViewObject into a memory device context, and the
// connection point's bookkeeping.
#include <windows.h>
#include <olectl.h>
#include <ocidl.h>

#include <gtest/gtest.h>

#include "ComModule.h"
#include "KvtplayerIds.h"
#include "OleControl.h"
#include "TestContainer.h"

using namespace activex_test;

namespace {

// {3F6C2A18-90D4-4B7E-8E15-A2C4D6E8F012}, a class of this test only.
const CLSID kPaintingClsid = {0x3F6C2A18, 0x90D4, 0x4B7E, {0x8E, 0x15, 0xA2, 0xC4, 0xD6, 0xE8, 0xF0, 0x12}};

class PaintingControl : public comcontrol::OleControl {
public:
    PaintingControl()
        : OleControl(comcontrol::ControlClass{kPaintingClsid, kvtplayer::kDispatchIid,
                                              kvtplayer::kEventIid, kvtplayer::kTypeLibId, 1, 0,
                                              0, 1})
    {
    }
    void Fire(DISPID dispid) { FireEvent(dispid, nullptr, 0); }

protected:
    HRESULT InvokeMethod(DISPID, VARIANT*, UINT, VARIANT*) override { return DISP_E_MEMBERNOTFOUND; }
    void OnDraw(HDC dc, const RECT& bounds, const RECT&) override
    {
        HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
        FillRect(dc, &bounds, red);
        DeleteObject(red);
    }
};

// A 32 x 32 memory bitmap filled white.
class MemoryCanvas {
public:
    MemoryCanvas()
    {
        HDC screen = GetDC(nullptr);
        dc = CreateCompatibleDC(screen);
        bitmap = CreateCompatibleBitmap(screen, 32, 32);
        ReleaseDC(nullptr, screen);
        old = SelectObject(dc, bitmap);
        RECT all = {0, 0, 32, 32};
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    }
    ~MemoryCanvas()
    {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    HDC dc;

private:
    HBITMAP bitmap;
    HGDIOBJ old;
};

// A sink that answers no dispatch interface.
class NotADispatch : public IUnknown {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        *out = IsEqualIID(iid, IID_IUnknown) ? this : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
};

class ComControlTest : public ::testing::Test {
protected:
    void SetUp() override { OleInitialize(nullptr); }
    void TearDown() override { OleUninitialize(); }
};

} // namespace

TEST_F(ComControlTest, DrawPaintsTheBoundsOfAMemoryDeviceContextOnly)
{
    PaintingControl* control = new PaintingControl();
    IViewObject2* view = nullptr;
    ASSERT_EQ(control->QueryInterface(IID_IViewObject2, reinterpret_cast<void**>(&view)), S_OK);
    control->Release();
    MemoryCanvas canvas;
    RECTL bounds = {8, 4, 24, 20};
    ASSERT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, canvas.dc, &bounds,
                         nullptr, nullptr, 0),
              S_OK);
    struct Pixel {
        int x, y;
        COLORREF colour;
    };
    const Pixel pixels[] = {
        {8, 4, RGB(255, 0, 0)},     {23, 19, RGB(255, 0, 0)},   {16, 12, RGB(255, 0, 0)},
        {7, 4, RGB(255, 255, 255)}, {24, 19, RGB(255, 255, 255)}, {8, 3, RGB(255, 255, 255)},
        {8, 20, RGB(255, 255, 255)}, {0, 0, RGB(255, 255, 255)},
    };
    for (const Pixel& p : pixels)
        EXPECT_EQ(GetPixel(canvas.dc, p.x, p.y), p.colour) << p.x << "," << p.y;
    EXPECT_EQ(view->Draw(DVASPECT_ICON, -1, nullptr, nullptr, nullptr, canvas.dc, &bounds, nullptr,
                         nullptr, 0),
              DV_E_DVASPECT);
    SIZEL extent = {};
    EXPECT_EQ(view->GetExtent(DVASPECT_CONTENT, -1, nullptr, &extent), S_OK);
    EXPECT_GT(extent.cx, 0);
    view->Release();
}

TEST_F(ComControlTest, ConnectionPointKeepsItsSinksInOrderAndRefusesStrangers)
{
    PaintingControl* control = new PaintingControl();
    IConnectionPoint* point = nullptr;
    IConnectionPointContainer* points = nullptr;
    ASSERT_EQ(control->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&points)),
              S_OK);
    EXPECT_EQ(points->FindConnectionPoint(IID_IPropertyNotifySink, &point), CONNECT_E_NOCONNECTION);
    ASSERT_EQ(points->FindConnectionPoint(kvtplayer::kEventIid, &point), S_OK);
    IID iid = {};
    EXPECT_EQ(point->GetConnectionInterface(&iid), S_OK);
    EXPECT_TRUE(IsEqualIID(iid, kvtplayer::kEventIid));
    RecordingSink first(kvtplayer::kEventIid), second(kvtplayer::kEventIid);
    NotADispatch stranger;
    DWORD cookie1 = 0, cookie2 = 0, cookie3 = 0;
    EXPECT_EQ(point->Advise(&stranger, &cookie3), CONNECT_E_CANNOTCONNECT);
    ASSERT_EQ(point->Advise(&first, &cookie1), S_OK);
    ASSERT_EQ(point->Advise(&second, &cookie2), S_OK);
    EXPECT_NE(cookie1, cookie2);
    control->Fire(7);
    EXPECT_EQ(first.calls[7], 1);
    EXPECT_EQ(second.calls[7], 1);
    EXPECT_EQ(point->Unadvise(cookie1), S_OK);
    EXPECT_EQ(point->Unadvise(cookie1), CONNECT_E_NOCONNECTION);
    control->Fire(8);
    EXPECT_EQ(first.calls[8], 0);
    EXPECT_EQ(second.calls[8], 1);
    // Frozen events are not delivered.
    IOleControl* oleControl = nullptr;
    ASSERT_EQ(control->QueryInterface(IID_IOleControl, reinterpret_cast<void**>(&oleControl)), S_OK);
    oleControl->FreezeEvents(TRUE);
    control->Fire(9);
    oleControl->FreezeEvents(FALSE);
    control->Fire(10);
    EXPECT_EQ(second.calls[9], 0);
    EXPECT_EQ(second.calls[10], 1);
    oleControl->Release();
    point->Release();
    points->Release();
    control->Release();
    // The control released the sink it still held.
    EXPECT_EQ(second.References(), 1);
}

TEST_F(ComControlTest, ObjectAnswersItsClassMiscStatusAndUserType)
{
    comcontrol::ComModule::SetInstance(GetModuleHandleW(nullptr));
    IOleObject* object = nullptr;
    PaintingControl* control = new PaintingControl();
    ASSERT_EQ(control->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&object)), S_OK);
    control->Release();
    CLSID clsid = {};
    EXPECT_EQ(object->GetUserClassID(&clsid), S_OK);
    EXPECT_TRUE(IsEqualCLSID(clsid, kPaintingClsid));
    DWORD status = 1;
    EXPECT_EQ(object->GetMiscStatus(DVASPECT_CONTENT, &status), S_OK);
    EXPECT_EQ(status, 0u);
    SIZEL size = {1000, 500};
    EXPECT_EQ(object->SetExtent(DVASPECT_CONTENT, &size), S_OK);
    SIZEL back = {};
    EXPECT_EQ(object->GetExtent(DVASPECT_CONTENT, &back), S_OK);
    EXPECT_EQ(back.cx, 1000);
    EXPECT_EQ(back.cy, 500);
    // Without a site there is nothing to activate in.
    EXPECT_EQ(object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, nullptr, 0, nullptr, nullptr),
              E_UNEXPECTED);
    object->Release();
}
