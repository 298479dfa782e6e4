#include "media/Interfaces.h"
#include <gtest/gtest.h>
TEST(Graph, Creates) {
    IUnknown* p = nullptr;
    EXPECT_EQ(S_OK, media::CoCreateInstance(media::CLSID_FilterGraph, nullptr, CLSCTX_ALL, media::IID_IGraphBuilder, reinterpret_cast<void**>(&p)));
    p->Release();
}
