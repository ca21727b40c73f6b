// The value order of a READ3 of one variable: whether the reader may leave the values as the file
// stores them (each value's bytes reversed), and whether it did. READ3 sets the request around
// one such read at a time; the kind that reads the values consults and answers it.
#ifndef KAVRO_READ_STORED_ORDER_H
#define KAVRO_READ_STORED_ORDER_H

namespace kavro::detail {

// Whether a READ3 of one variable may leave its values as the file stores them, and whether
// a block was left so: set around one such read at a time, consulted by the transfer.
struct StoredOrder {
  bool allowed = false;
  bool left = false;
};
StoredOrder& stored_order() noexcept;

}  // namespace kavro::detail

#endif  // KAVRO_READ_STORED_ORDER_H
