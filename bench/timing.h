#pragma once

#include <algorithm>
#include <vector>

namespace bench {

// The middle of the timings (the mean of the two middle ones for an even count); 0 for none.
inline double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n == 0 ? 0 : (n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2);
}

}  // namespace bench
