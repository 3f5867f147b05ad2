// The real-time X-Y plot window: one channel drawn against another, live while
// the host samples and again from recorded data whenever the window must be
// repainted or the host's current range changes.
#pragma once

#include <algorithm>

#include "ExtensionFrame.h"
#include "LocalData.h"
#include "toolbox/Toolbox.h"

// The extension's local command numbers.
enum : int16_t { EraseCommand = 0, SetEraseTimeCommand = 1, SetChannelCommand = 2 };

constexpr int16_t kPlotWindowID = 1000;  // WIND, MENU and DLOG resources
constexpr int32_t kNeverErase = 2147483647;

// Data values at the ends of a new plot's axes (32000/32768 of full scale).
constexpr double kFullScale = 0.9765625;
constexpr double kNegativeFullScale = -0.9765625;

class XYPlotExtension : public GeneralExtensionBase<LocalDataHandle> {
public:
    XYPlotExtension() = default;

    bool OnMessage2() override { return true; }
    int32_t OnMessage5() override { return 1; }
    void OnMessage3() override {}

    LocalDataHandle NewInstance() override;
    void DisposeInstance(LocalDataHandle instance) override;
    void DoCommand(const CommandRecord* command, LocalDataHandle instance) override;
    void Notify(int16_t kind, int16_t extra, uint32_t data, LocalDataHandle instance) override;
    bool OwnsWindow(WindowRef window, LocalDataHandle instance) override;
    void UpdateWindow(WindowRef window, LocalDataHandle instance) override;
    void DoGrow(WindowRef window, Point start, LocalDataHandle instance) override;
    void DoZoom(WindowRef window, uint8_t zoomIn, LocalDataHandle instance) override;
    void DoContentClick(WindowRef window, int16_t part, ControlRef control, Point where, EventRecord* click,
                        LocalDataHandle instance) override;
    void DoMouseOver(WindowRef window, Point where, int16_t* cursor, LocalDataHandle instance) override;
    void DoActivate(WindowRef window, uint8_t active, LocalDataHandle instance) override;
    void OnMessage18(uint8_t, LocalDataHandle) override {}
    void OnMessage19(uint32_t, int16_t, uint32_t, LocalDataHandle) override {}
    bool OnMessage20(uint32_t, int8_t, uint8_t, uint8_t*, LocalDataHandle) override { return false; }
    void OnMessage17(uint32_t, int16_t, LocalDataHandle) override {}
    void OnMessage21(uint32_t, int16_t, LocalDataHandle) override {}

    bool RedrawTrace(int32_t startSample, int32_t endSample, LocalDataHandle instance, bool checkInfo);
    void EraseTrace(LocalDataHandle instance);

private:
    void DoEraseTimeDialog(LocalDataHandle instance);
};

extern XYPlotExtension gExtension;
extern EventHandlerUPP gWindowEventHandlerUPP;

// Geometry and small port routines shared by the drawing code.
void LayoutPlot(LocalDataHandle instance);
void RelayoutWindow(LocalDataHandle instance);
OSStatus WindowEventHandler(EventHandlerCallRef callRef, EventRef event, void* userData);
void SetMinimumWindowSize(WindowRef window, float width, float height);
void SetPortToWindow(WindowRef window);
Rect WindowPortRect(WindowRef window);
void ClipToWindow(WindowRef window);
void InvalInCurrentWindow(Rect r);
uint8_t IsRectVisible(const Rect* r, CGrafPtr port);

// The data-to-pixel mapping: pixel = offset + round(value x pixels per unit).
// The stored offsets are 16-bit; the sums are taken from their 32-bit origin so
// that a pixel inside the 16-bit range comes out exactly as 16-bit arithmetic
// gives it, while one beyond it saturates at the range's end instead of
// wrapping round to the other side of the window.
//
// Almost every sample's product lies in a window where neither roundtol nor
// the 16-bit range can saturate; there the rounding needs no range tests, and
// one comparison per end of the window (false for NaN) tells the two apart.
struct PixelMapping {
    double xPixelsPerUnit;
    double yPixelsPerUnit;
    int64_t xOrigin;  // xPixelOffset before narrowing to 16 bits
    int64_t yOrigin;
    double xLowProduct, xHighProduct;  // products whose pixels need no saturation
    double yLowProduct, yHighProduct;

    static PixelMapping Of(const LocalDataType& record)
    {
        PixelMapping m{};
        m.xPixelsPerUnit = record.xPixelsPerUnit;
        m.yPixelsPerUnit = record.yPixelsPerUnit;
        m.xOrigin = int64_t(record.plotRect.left) - roundtol(record.xPixelsPerUnit * record.xLeftValue);
        m.yOrigin = int64_t(record.plotRect.top) - roundtol(record.yPixelsPerUnit * record.yTopValue);
        PlainProducts(m.xOrigin, &m.xLowProduct, &m.xHighProduct);
        PlainProducts(m.yOrigin, &m.yLowProduct, &m.yHighProduct);
        return m;
    }

    // A product p in [low, high] rounds to an integer in the same range, which
    // keeps roundtol inside 32 bits and origin + round(p) inside 16 bits. The
    // window is empty (low > high) when the origin lies too far out.
    static void PlainProducts(int64_t origin, double* low, double* high)
    {
        *low = double(std::max<int64_t>(INT16_MIN - origin, -INT32_MAX));
        *high = double(std::min<int64_t>(INT16_MAX - origin, INT32_MAX));
    }

    static int16_t Pixel(double value, double pixelsPerUnit, int64_t origin)
    {
        int64_t pixel = origin + roundtol(value * pixelsPerUnit);
        return int16_t(pixel < INT16_MIN ? INT16_MIN : pixel > INT16_MAX ? INT16_MAX : pixel);
    }

    // False for a sample that is not a number: it has no place in the plot.
    bool Map(float x, float y, int16_t* h, int16_t* v) const
    {
        const double xProduct = double(x) * xPixelsPerUnit, yProduct = double(y) * yPixelsPerUnit;
        if (xProduct >= xLowProduct && xProduct <= xHighProduct && yProduct >= yLowProduct &&
            yProduct <= yHighProduct) {
            *h = int16_t(xOrigin + RoundtolInRange(xProduct));
            *v = int16_t(yOrigin + RoundtolInRange(yProduct));
            return true;
        }
        if (x != x || y != y) return false;
        *h = Pixel(double(x), xPixelsPerUnit, xOrigin);
        *v = Pixel(double(y), yPixelsPerUnit, yOrigin);
        return true;
    }
};

// The first sample from first up to (not including) end that has a pixel, and
// that pixel; end when none has.
int32_t FirstPlacedSample(const PixelMapping& mapping, const float* xs, const float* ys, int32_t first, int32_t end,
                          int16_t* h, int16_t* v);

// Draws a line to the pixel of each sample from first up to (not including)
// end that has one, continuing from the current pen; a sample on the pixel
// where the call's previous line ended adds nothing and costs no line. Gives
// the last sample's pixel and true, or false when no sample had a pixel.
bool LineToSamples(const PixelMapping& mapping, const float* xs, const float* ys, int32_t first, int32_t end,
                   int16_t* h, int16_t* v);

// The erase point rule: the trace start plus the erase time, or never.
void UpdateErasePoint(LocalDataType& record);

void CopyString(unsigned char* destination, const unsigned char* source);

// Puts the check mark on the item of channel (and only there) among the
// kHostChannelCount channel items from firstChannelItem on.
void CheckChannelItems(MenuRef menu, int16_t firstChannelItem, int16_t channel);

// The 12 x 12 grow-box square in the bottom-right corner of a port rectangle.
Rect GrowBoxRect(const Rect& port);

// Recorded data through the host.
extern DataSourceRef gDataSource;
void LocateSample(int32_t position, SampleLocation* location);
Handle LockBlockData(int16_t channel, int16_t block);
void UnlockBlockData(int16_t channel, int16_t block);
int16_t BlockLength(int16_t block);
void BlockChannelInfo(int16_t channel, int16_t block, ChannelInfoRecord* info);
int32_t SampleCount();
uint32_t FloatCount(Handle data);
bool HasCurrentRange();
bool CurrentRangeIsA();
SampleRange GetCurrentRange();
