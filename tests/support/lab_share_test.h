// A fixture whose tests find the test program's Samba server running and its "lab" share empty:
// derive from LabShareTest<LyrTest> (or another fixture of the suite) and reach it as server_.
#ifndef LYRUTIL_TESTS_LAB_SHARE_TEST_H
#define LYRUTIL_TESTS_LAB_SHARE_TEST_H

#include "smb_server.h"

#include <gtest/gtest.h>

template <class Base>
class LabShareTest : public Base {
 protected:
  void SetUp() override {
    Base::SetUp();
    server_ = &TestSmbServer();
    ASSERT_TRUE(server_->Start()) << "smbd did not start:\n" << server_->Log();
    EmptyLabShare(*server_);
  }

  SmbServer* server_ = nullptr;
};

#endif  // LYRUTIL_TESTS_LAB_SHARE_TEST_H
