#include "ZELCommon/ZELString.h"

#include <gtest/gtest.h>
