// A fresh session of the IVI session table for each test, disposed after it.
#pragma once

#include <gtest/gtest.h>

#include "platform/ivi/iviss.h"

class IviSessionTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(IviSession_New(&vi_), VI_SUCCESS); }
    void TearDown() override { IviSession_Dispose(vi_); }
    ViSession vi_ = VI_NULL;
};
