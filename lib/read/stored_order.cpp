#include "read/stored_order.h"

namespace kavro::detail {

StoredOrder& stored_order() noexcept {
  static StoredOrder request;
  return request;
}

}  // namespace kavro::detail
