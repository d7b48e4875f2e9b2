// Graphs re-plotted with a growing record, as a live monitor does every tick: what is drawn is
// the record as it stands, however many times it was plotted before and whatever changed in it.
#include <cmath>
#include <cstdint>
#include <vector>

#include "Runtime.h"
#include "UiFixture.h"

namespace {

class GraphDrawingTest : public UiTest {
protected:
    GraphDrawingTest()
    {
        DisplayPanel(main);
        for (int i = 0; i < kRecord; ++i) {
            positions[i] = static_cast<std::int32_t>(std::lround(4000.0 * std::sin(i / 150.0) + 10.0 * (i % 7)));
            exactness[i] = static_cast<std::uint8_t>(3 + (i / 40) % 12);
        }
    }

    // Both plots of the first `count` samples; the previous ones go, as the monitor replaces them.
    void PlotRecord(int count)
    {
        const int line = PlotY(pageOne, PAGE_ONE_PLOT, positions.data(), count, VAL_INTEGER, VAL_CONNECTED_POINTS,
                               24, 0, 1, 0x0000FF);
        const int scatter = PlotXY(pageOne, PAGE_ONE_PLOT, positions.data(), exactness.data(), count, VAL_INTEGER,
                                   VAL_UNSIGNED_CHAR, VAL_SCATTER, 24, 0, 1, 0xFF0000);
        if (lineHandle_ > 0)
            DeleteGraphPlot(pageOne, PAGE_ONE_PLOT, lineHandle_, 0);
        if (scatterHandle_ > 0)
            DeleteGraphPlot(pageOne, PAGE_ONE_PLOT, scatterHandle_, 0);
        lineHandle_ = line;
        scatterHandle_ = scatter;
    }

    // The same plots made once from nothing.
    void PlotRecordAfresh(int count)
    {
        DeleteGraphPlot(pageOne, PAGE_ONE_PLOT, -1, 0);
        lineHandle_ = scatterHandle_ = 0;
        PlotRecord(count);
    }

    std::vector<std::uint32_t> Picture() const
    {
        int bitmap = 0;
        EXPECT_EQ(GetPanelDisplayBitmap(main, &bitmap), 0);
        const cvi::Bitmap *picture = cvi::Runtime::Current()->FindBitmap(bitmap);
        std::vector<std::uint32_t> pixels = picture ? picture->pixels : std::vector<std::uint32_t>{};
        DiscardBitmap(bitmap);
        return pixels;
    }

    static bool Shows(const std::vector<std::uint32_t> &pixels, std::uint32_t colour)
    {
        for (const std::uint32_t pixel : pixels) {
            if (pixel == colour)
                return true;
        }
        return false;
    }

    static constexpr int kRecord = 3000;
    std::vector<std::int32_t> positions = std::vector<std::int32_t>(kRecord);
    std::vector<std::uint8_t> exactness = std::vector<std::uint8_t>(kRecord);

private:
    int lineHandle_ = 0;
    int scatterHandle_ = 0;
};

} // namespace

TEST_F(GraphDrawingTest, ARecordPlottedTickByTickLooksAsPlottedOnce)
{
    std::vector<std::uint32_t> lastPicture;
    for (int count = 1; count <= kRecord; ++count) {
        PlotRecord(count);
        // Pictures along the way draw what was added since the previous one.
        if (count % 97 == 0 || count == kRecord)
            lastPicture = Picture();
    }
    ASSERT_TRUE(Shows(lastPicture, 0x0000FF));
    ASSERT_TRUE(Shows(lastPicture, 0xFF0000));
    EXPECT_EQ(driver.PlotCount(pageOne, PAGE_ONE_PLOT), 2);
    PlotRecordAfresh(kRecord);
    EXPECT_EQ(Picture(), lastPicture);
}

TEST_F(GraphDrawingTest, EarlierSamplesChangedInTheRecordAreDrawnAsTheyAreNow)
{
    for (int count = 1000; count <= 1200; ++count) {
        PlotRecord(count);
        if (count % 50 == 0)
            Picture();
    }
    // The program rewrites its record in place; the next plot shows the new values.
    for (int i = 0; i < 600; ++i) {
        positions[i] = -positions[i];
        exactness[i] = 1;
    }
    PlotRecord(1201);
    const std::vector<std::uint32_t> changed = Picture();
    PlotRecordAfresh(1201);
    EXPECT_EQ(Picture(), changed);

    // A shorter plot of the same record shows only its own points.
    PlotRecord(300);
    const std::vector<std::uint32_t> shorter = Picture();
    PlotRecordAfresh(300);
    EXPECT_EQ(Picture(), shorter);
}
