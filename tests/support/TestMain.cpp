// The test programs' entry point: the same process-wide start-up as the programs' own (COM with
// its security settings, OLE, GDI+), then every test.
#include "platform/ProcessStartup.h"

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    const ProcessStartup startup;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
