// The volume watch asks the system about once a second far from a limit and at every tick near
// it, and never lets an estimate hide a limit that was reached.
#include "graph/VolumeWatch.h"

#include <gtest/gtest.h>

namespace {

DWORD g_dwNow = 0;
DWORD TestNow() { return g_dwNow; }

class CountingVolume final : public VolumeQuery {
public:
    BOOL GetFreeBytes(const std::wstring&, ULONGLONG* pnFree) override {
        ++m_nFreeQueries;
        *pnFree = m_nFree;
        return m_bAnswers;
    }
    BOOL GetFileSystemName(const std::wstring&, std::wstring* pstrName) override {
        ++m_nNameQueries;
        *pstrName = L"FAT32";
        return m_bAnswers;
    }
    BOOL GetFileSize(const std::wstring&, ULONGLONG* pnSize) override {
        ++m_nSizeQueries;
        *pnSize = m_nSize;
        return m_bAnswers;
    }
    ULONGLONG m_nFree = 0;
    ULONGLONG m_nSize = 0;
    bool m_bAnswers = true;
    int m_nFreeQueries = 0;
    int m_nNameQueries = 0;
    int m_nSizeQueries = 0;
};

constexpr ULONGLONG GiB = 1ULL << 30;
constexpr ULONGLONG Limit = 4 * GiB;

TEST(VolumeWatch, AsksFarFromTheLimitOnceASecondAndNearItAtEveryTick) {
    struct Case {
        const char* pszName;
        ULONGLONG nFree;  // free space; the watched limit is 1 GiB
        ULONGLONG nSize;  // file size; the watched limit is 4 GiB
        int nExpectedQueries;  // of each kind over 2 s of 10 ms ticks
    };
    const Case cases[] = {
        {"far from both limits", 100 * GiB, 1 * GiB, 2},
        {"near both limits", GiB + VolumeWatch::NearBytes / 2, Limit - VolumeWatch::NearBytes / 2, 200},
        {"past both limits", GiB / 2, Limit + 1, 200},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pszName);
        CountingVolume volume;
        volume.m_nFree = c.nFree;
        volume.m_nSize = c.nSize;
        VolumeWatch watch;
        watch.SetClock(&TestNow);
        for (g_dwNow = 5000; g_dwNow < 7000; g_dwNow += 10) {
            ULONGLONG nFree = 0, nSize = 0;
            ASSERT_TRUE(watch.FreeBytes(volume, L"C:\\Video\\", GiB, &nFree));
            ASSERT_TRUE(watch.FileSize(volume, L"C:\\Video\\a.avi", Limit, &nSize));
            // An estimate only ever errs towards the limit.
            EXPECT_LE(nFree, c.nFree);
            EXPECT_GE(nSize, c.nSize);
        }
        EXPECT_EQ(c.nExpectedQueries, volume.m_nFreeQueries);
        EXPECT_EQ(c.nExpectedQueries, volume.m_nSizeQueries);
    }
}

TEST(VolumeWatch, AFreeSpaceThatFallsIsSeenWithinASecondAndAnotherFolderAtOnce) {
    CountingVolume volume;
    volume.m_nFree = 100 * GiB;
    VolumeWatch watch;
    watch.SetClock(&TestNow);
    g_dwNow = 0;
    ULONGLONG nFree = 0;
    ASSERT_TRUE(watch.FreeBytes(volume, L"C:\\A\\", GiB, &nFree));
    volume.m_nFree = GiB / 2;  // another program fills the disk
    g_dwNow = 999;
    ASSERT_TRUE(watch.FreeBytes(volume, L"C:\\A\\", GiB, &nFree));
    EXPECT_GT(nFree, GiB);
    g_dwNow = 1000;
    ASSERT_TRUE(watch.FreeBytes(volume, L"C:\\A\\", GiB, &nFree));
    EXPECT_EQ(GiB / 2, nFree);
    volume.m_nFree = 7 * GiB;
    ASSERT_TRUE(watch.FreeBytes(volume, L"D:\\B\\", GiB, &nFree));
    EXPECT_EQ(7 * GiB, nFree);
}

TEST(VolumeWatch, TheFileSystemIsAskedOnceASecondPerRootAndFailuresAreNotKept) {
    CountingVolume volume;
    VolumeWatch watch;
    watch.SetClock(&TestNow);
    g_dwNow = 0;
    std::wstring strName;
    volume.m_bAnswers = false;
    EXPECT_FALSE(watch.FileSystemName(volume, L"C:\\", &strName));
    ULONGLONG nFree = 0;
    EXPECT_FALSE(watch.FreeBytes(volume, L"C:\\", 0, &nFree));
    volume.m_bAnswers = true;
    for (int n = 0; n < 5; ++n) ASSERT_TRUE(watch.FileSystemName(volume, L"C:\\", &strName));
    EXPECT_EQ(L"FAT32", strName);
    ASSERT_TRUE(watch.FileSystemName(volume, L"D:\\", &strName));
    EXPECT_EQ(3, volume.m_nNameQueries);
    ASSERT_TRUE(watch.FreeBytes(volume, L"C:\\", 0, &nFree));
    EXPECT_EQ(2, volume.m_nFreeQueries);
    watch.Reset();
    ASSERT_TRUE(watch.FileSystemName(volume, L"D:\\", &strName));
    EXPECT_EQ(4, volume.m_nNameQueries);
    g_dwNow = 1000;  // a second on: a volume may have been swapped under the same root
    ASSERT_TRUE(watch.FileSystemName(volume, L"D:\\", &strName));
    EXPECT_EQ(5, volume.m_nNameQueries);
}

}  // namespace
