// Quick readers of the recorded AVI Type 1 and Type 2 DV files, without a streaming graph:
// the file's type, its dropped frames (index entries without data), the wide-screen flag, frame
// mode and time code of its first frame, and its date, size, length and type as text.
//
// Every function opens the file read-only with read sharing, keeps nothing between calls and
// closes the file before it returns. They rely on the layout the recorder writes: the first
// stream's "strh" and then its OpenDML super index "indx" in the header list, pointing at
// standard index chunks ("ix##") with one entry per frame in frame order.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "files/Timecode.h"

// TRUE when the file starts like an AVI file whose first stream is "iavs"/"dvsd" (Type 1) or
// "vids"/"dvsd" (Type 2).
BOOL IsAVIType1(const std::wstring& strPath);
BOOL IsAVIType2(const std::wstring& strPath);

// The video format (1 or 2), the AVI type (1 or 2), the first stream's frame count and the
// ascending numbers of the dropped frames. TRUE only when all three values are known and the
// standard indexes list exactly as many frames as the stream header counts.
BOOL GetAVIDropInfo(const std::wstring& strPath, int* pnVideoFormat, int* pnAviType, DWORD* pdwTotalFrames,
                    std::vector<DWORD>* pDropList);

// Counts the entries of the standard index chunk at qwPosition, from *pdwFrameCounter on, and
// appends the numbers of those without data to pDropList. A chunk that is not a standard index
// counts nothing and is no failure.
BOOL ReadIndxDropInfo(HANDLE hFile, ULONGLONG qwPosition, DWORD* pdwFrameCounter, std::vector<DWORD>* pDropList);

// Video format, AVI type and frame count from the first stream header, the local last-write
// date and time as text, and the file size. TRUE when the three values are all known.
BOOL GetAVITooltipInfo(const std::wstring& strPath, int* pnVideoFormat, int* pnAviType, DWORD* pdwTotalFrames,
                       std::wstring* pstrDate, ULONGLONG* pqwFileSize);

// Wide-screen flag (1 for 16:9), frame mode and time code of the first frame. The caller
// presets the outputs; a file without a super index leaves them and gives TRUE. A dropped or
// too short first frame gives FALSE.
BOOL GetAVIAspect(const std::wstring& strPath, int* pnWide, int* pnFrameMode, Timecode* pTimecode);

// The same for the first frame of the standard index chunk at qwPosition.
BOOL ReadIndxAspect(HANDLE hFile, ULONGLONG qwPosition, int* pnWide, int* pnFrameMode, Timecode* pTimecode);

// Headings of the tooltip text.
constexpr int kAviHeadingName = 0;      // file name without extension (file list)
constexpr int kAviHeadingFullPath = 1;  // full path without extension (recording history)

// Heading, then recording date, file size, length and file format, one per line.
std::wstring GetAVITooltipText(const std::wstring& strPath, int nHeading);

// The file's block at the head of its dropped-frame report in the recording log.
std::wstring GetAVIReportHeader(const std::wstring& strPath);
