#pragma once

#include <gtest/gtest.h>

#include <string>

// Names a parameterised test after the name field of its case.
struct CaseName {
  template <class Case>
  std::string operator()(const testing::TestParamInfo<Case>& info) const {
    return info.param.name;
  }
};
