// Tree keys: the tree number read from positions start..stop of a series ID,
// the distinct trees in order of first appearance (nodups), the site code and
// the tree ID (site code, tree number zero-padded to the field's width,
// blanks after).
#pragma once

#include <cstdint>
#include <span>

#include "records/field.h"

namespace ringave {

// Distinct values of keys[0..n) in order of first appearance.
void nodups(std::span<const std::int32_t> keys, std::int32_t n, std::span<std::int32_t> distinct,
            std::int32_t& count);

}  // namespace ringave
