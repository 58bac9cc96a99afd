#include "chart/indicators/moving_average.h"

#include "chart/indicators/applied_price.h"
#include "chart/indicators/ma_kernel.h"

namespace kb::chart::ind {

bool ma_prices(const BarView& bars, int apply, int period, int method, int computed,
               std::span<double> out) {
    if (bars.count < 2 || period <= 0) return false;
    with_applied_price(bars, apply, [&](const auto& price) {
        detail::ma_kernel(price, bars.count, period, method, computed, out.data());
    });
    return true;
}

bool ma_series(std::span<const double> series, int period, int method, int computed,
               std::span<double> out) {
    if (series.empty() || period <= 0) return false;
    detail::ma_kernel(ArrayPrice{series.data()}, series.size(), period, method, computed,
                      out.data());
    return true;
}

}  // namespace kb::chart::ind
