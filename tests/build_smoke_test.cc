// placeholder so the test binary links
#include <gtest/gtest.h>
TEST(Build, Links) {}
