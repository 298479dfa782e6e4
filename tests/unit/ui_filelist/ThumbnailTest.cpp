// The file list's thumbnails: their pictures, the worker limit, the cache and a large folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "FileListTest.h"

namespace {

using namespace filelist_test;

constexpr uint32_t kLetterbox = 0x0A0A0A;
constexpr uint32_t kBadgeGreen = 0x00FF00;
constexpr uint32_t kMagenta = 0xFF00FF;

int Brightest(uint32_t pixel) {
  return std::max({static_cast<int>(pixel >> 16 & 0xFF), static_cast<int>(pixel >> 8 & 0xFF), static_cast<int>(pixel & 0xFF)});
}

// The brightest channel of a whole row of the thumbnail.
int RowBrightness(const std::vector<uint32_t>& pixels, int nWidth, int nRow) {
  int nMax = 0;
  for (int x = 0; x < nWidth; ++x) nMax = std::max(nMax, Brightest(pixels[static_cast<size_t>(nRow * nWidth + x)]));
  return nMax;
}

class ThumbnailTest : public FileListFixture {
 protected:
  int IndexOf(const std::wstring& strName) {
    const std::vector<std::wstring> paths = List().GetPaths();
    const auto it = std::find(paths.begin(), paths.end(), m_folder.Path(strName));
    return it == paths.end() ? -1 : static_cast<int>(it - paths.begin());
  }
  int CountInState(int nState) {
    int nCount = 0;
    for (int n = 0; n < List().GetItemCount(); ++n) nCount += List().GetThumbnailState(n) == nState ? 1 : 0;
    return nCount;
  }
};

TEST_F(ThumbnailTest, WideFilesAreLetterboxed24pFilesBadgedAndUnreadableOnesShowNoPicture) {
  WriteRecording(m_folder.Path(L"standard.avi"), Recording{});
  WriteRecording(m_folder.Path(L"wide.avi"), Recording{true, true, 60, 2, 1});
  WriteRecording(m_folder.Path(L"film.avi"), Recording{false, false, 24, 1, 1});
  std::vector<uint8_t> cut = ReadBytes(m_folder.Path(L"standard.avi"));
  cut.resize(4096);  // the head says Type 1; the rest is gone
  WriteBytes(m_folder.Path(L"cut.avi"), cut);

  List().SetFolder(m_folder.Path());
  ASSERT_EQ(4, List().GetItemCount());
  for (int n = 0; n < 4; ++n) EXPECT_EQ(ExtractListView::kPendingImage, List().GetItemImage(n));
  ASSERT_TRUE(PumpUntil([&] { return AllDone(List()); }, kThumbnailWaitMs));

  const int nWidth = List().GetThumbnailWidth();
  const int nHeight = List().GetThumbnailHeight();
  ASSERT_EQ(52, nWidth);
  ASSERT_EQ(39, nHeight);
  EXPECT_EQ(ExtractListView::kNoPictureImage, List().GetItemImage(IndexOf(L"cut.avi")));

  const std::vector<uint32_t> standard = ImagePixels(List(), IndexOf(L"standard.avi"));
  const std::vector<uint32_t> wide = ImagePixels(List(), IndexOf(L"wide.avi"));
  const std::vector<uint32_t> film = ImagePixels(List(), IndexOf(L"film.avi"));
  for (int nIndex : {IndexOf(L"standard.avi"), IndexOf(L"wide.avi"), IndexOf(L"film.avi")}) {
    EXPECT_GT(List().GetItemImage(nIndex), ExtractListView::kNoPictureImage);
  }
  // The picture fills a 4:3 thumbnail from top to bottom.
  EXPECT_GT(RowBrightness(standard, nWidth, 0), 60);
  EXPECT_GT(RowBrightness(standard, nWidth, nHeight - 1), 60);
  // A 16:9 picture keeps its shape between bars of the letterbox colour: one sixth of the
  // letterboxed height above and below, nearly five rows of 39.
  for (int nRow : {0, 1, 2, 3, nHeight - 4, nHeight - 3, nHeight - 2, nHeight - 1}) {
    for (int x = 0; x < nWidth; ++x) {
      ASSERT_LE(std::abs(Brightest(wide[static_cast<size_t>(nRow * nWidth + x)]) - Brightest(kLetterbox)), 3) << "row " << nRow << " x " << x;
    }
  }
  EXPECT_GT(RowBrightness(wide, nWidth, nHeight / 2), 60);
  EXPECT_GT(RowBrightness(wide, nWidth, 6), 60);

  // The badge's 18 x 18 square sits 2 pixels from the top and right; its magenta stays unseen.
  const int nBadgeLeft = nWidth - 18 - 2;
  EXPECT_EQ(kBadgeGreen, film[static_cast<size_t>((2 + 8) * nWidth + nBadgeLeft + 8)]);
  EXPECT_EQ(kBadgeGreen, film[static_cast<size_t>((2 + 4) * nWidth + nBadgeLeft + 4)]);
  EXPECT_EQ(kBadgeGreen, film[static_cast<size_t>((2 + 13) * nWidth + nBadgeLeft + 13)]);
  for (size_t n = 0; n < film.size(); ++n) ASSERT_NE(kMagenta, film[n]) << "pixel " << n;
  // Outside its square the badge leaves the picture as it was.
  EXPECT_EQ(standard[static_cast<size_t>((2 + 1) * nWidth + nBadgeLeft + 1)], film[static_cast<size_t>((2 + 1) * nWidth + nBadgeLeft + 1)]);
  EXPECT_EQ(standard[static_cast<size_t>(30 * nWidth + 10)], film[static_cast<size_t>(30 * nWidth + 10)]);
  EXPECT_NE(kBadgeGreen, standard[static_cast<size_t>((2 + 8) * nWidth + nBadgeLeft + 8)]);
}

TEST_F(ThumbnailTest, NoMoreThanThreeExtractionsRunAndResortingTakesThemFromTheCache) {
  constexpr int kFiles = 8;  // all of them on screen
  for (int n = 0; n < kFiles; ++n) WriteRecording(m_folder.Path(L"take" + std::to_wstring(n) + L".avi"), Recording{});
  ExtractionCounter::CloseGate();
  List().SetFolder(m_folder.Path());
  ASSERT_TRUE(PumpUntil([] { return ExtractionCounter::nRunning == 3; }, 5000));
  // Several scheduling rounds later, still only three are under way.
  PumpFor(500);
  EXPECT_EQ(3, ExtractionCounter::nRunning.load());
  EXPECT_EQ(3, ExtractionCounter::nTotal.load());
  EXPECT_EQ(3u, List().GetWorkerCount());
  EXPECT_EQ(3, CountInState(ExtractListView::StateExtracting));
  EXPECT_EQ(kFiles - 3, CountInState(ExtractListView::StatePending));

  // A file removed while its thumbnail is being made: the late picture is thrown away.
  int nRemoved = 0;
  while (List().GetThumbnailState(nRemoved) != ExtractListView::StateExtracting) ++nRemoved;
  List().RemoveFile(List().GetPaths()[static_cast<size_t>(nRemoved)]);
  ASSERT_EQ(kFiles - 1, List().GetItemCount());

  ExtractionCounter::OpenGate();
  ASSERT_TRUE(PumpUntil([&] { return AllDone(List()) && List().GetWorkerCount() == 0; }, kThumbnailWaitMs));
  PumpFor(200);
  EXPECT_EQ(3, ExtractionCounter::nPeak.load());
  EXPECT_EQ(kFiles, ExtractionCounter::nTotal.load());
  EXPECT_EQ(2 + kFiles - 1, ::ImageList_GetImageCount(List().GetImageList(LVSIL_NORMAL)));

  List().Sort(VideoFileList::SortOldestFirst);
  EXPECT_TRUE(AllDone(List()));
  for (int n = 0; n < kFiles - 1; ++n) EXPECT_GT(List().GetItemImage(n), ExtractListView::kNoPictureImage);
  PumpFor(300);
  EXPECT_EQ(0u, List().GetWorkerCount());
  EXPECT_EQ(kFiles, ExtractionCounter::nTotal.load());
}

TEST_F(ThumbnailTest, AReplacedFileGetsANewThumbnailOnlyWhenItsSizeChanged) {
  const std::wstring strPath = m_folder.Path(L"scene.avi");
  WriteRecording(strPath, Recording{});
  List().SetFolder(m_folder.Path());
  ASSERT_TRUE(PumpUntil([&] { return AllDone(List()); }, kThumbnailWaitMs));
  ASSERT_EQ(1, ExtractionCounter::nTotal.load());
  const int nWidth = List().GetThumbnailWidth();

  // A 16:9 recording of the same length has the same size: the cached 4:3 picture stays.
  WriteRecording(strPath, Recording{false, true, 60, 1, 1});
  List().SetFolder(m_folder.Path());
  EXPECT_TRUE(AllDone(List()));
  EXPECT_GT(RowBrightness(ImagePixels(List(), 0), nWidth, 0), 60);

  // One frame longer: extracted again, now letterboxed.
  WriteRecording(strPath, Recording{false, true, 60, 1, 2});
  List().SetFolder(m_folder.Path());
  EXPECT_EQ(ExtractListView::StatePending, List().GetThumbnailState(0));
  ASSERT_TRUE(PumpUntil([&] { return AllDone(List()); }, kThumbnailWaitMs));
  EXPECT_EQ(2, ExtractionCounter::nTotal.load());
  EXPECT_LE(RowBrightness(ImagePixels(List(), 0), nWidth, 0), Brightest(kLetterbox) + 3);
}

TEST_F(ThumbnailTest, AFolderOfManyRecordingsListsAtOnceFillsWhileAnsweringAndIsCachedNextTime) {
  constexpr int kFiles = 200;
  for (int n = 0; n < kFiles; ++n) WriteRecording(m_folder.Path(L"rec" + std::to_wstring(1000 + n) + L".avi"), Recording{});

  List().SetFolder(m_folder.Path());
  ASSERT_EQ(kFiles, List().GetItemCount());
  EXPECT_EQ(0, ExtractionCounter::nTotal.load()) << "nothing is extracted while the folder is read";

  // Another thread keeps asking the list window while it fills; every question is answered.
  std::atomic<bool> bStop{false};
  std::atomic<bool> bFinished{false};
  std::atomic<int> nAnswered{0};
  std::atomic<int> nUnanswered{0};
  const HWND hList = List();
  std::thread asker([&] {
    while (!bStop) {
      DWORD_PTR dwResult = 0;
      if (::SendMessageTimeoutW(hList, LVM_GETITEMCOUNT, 0, 0, SMTO_NORMAL, 5000, &dwResult) != 0 && dwResult == static_cast<DWORD_PTR>(kFiles)) {
        ++nAnswered;
      } else {
        ++nUnanswered;
      }
      ::Sleep(20);
    }
    bFinished = true;
  });
  // Only items on screen are extracted: scroll to the first one still pending until all are done.
  const DWORD dwStart = ::GetTickCount();
  while (!AllDone(List()) && ::GetTickCount() - dwStart < 240000) {
    PumpFor(150);
    for (int n = 0; n < kFiles; ++n) {
      if (List().GetThumbnailState(n) == ExtractListView::StatePending) {
        List().EnsureVisible(n, false);
        break;
      }
    }
  }
  // The list window answers the last question while the asker winds down.
  bStop = true;
  ASSERT_TRUE(PumpUntil([&] { return bFinished.load(); }, 10000));
  asker.join();
  ASSERT_TRUE(AllDone(List()));
  EXPECT_GT(nAnswered.load(), 0);
  EXPECT_EQ(0, nUnanswered.load());
  EXPECT_EQ(kFiles, ExtractionCounter::nTotal.load());
  EXPECT_LE(ExtractionCounter::nPeak.load(), 3);

  // Leaving the folder and coming back shows every thumbnail from the cache.
  TempFolder elsewhere;
  List().SetFolder(elsewhere.Path());
  EXPECT_EQ(0, List().GetItemCount());
  List().SetFolder(m_folder.Path());
  ASSERT_EQ(kFiles, List().GetItemCount());
  EXPECT_TRUE(AllDone(List()));
  PumpFor(300);
  EXPECT_EQ(kFiles, ExtractionCounter::nTotal.load());
  EXPECT_EQ(0u, List().GetWorkerCount());
}

}  // namespace
