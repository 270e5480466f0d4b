#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace app {

/// A block of memory shared by name between processes, over POSIX shared
/// memory (shm_open, ftruncate, mmap).
///
/// Names live in one of two namespaces. "Local" (the default) holds one set
/// of names per login session: `name` becomes the object
/// "/local.<uid>.<session>.<name>", where <session> is a hash of the user's
/// runtime folder ($XDG_RUNTIME_DIR, "0" without one), the folder that also
/// scopes the program's single-instance lock. "Global" (`global`) holds one
/// set per machine: "/global.<name>". The two prefixes differ in their first
/// letter, so no Local name can ever meet a Global one. In `name`, letters,
/// digits, ".", "_" and "-" stand for themselves and every other byte becomes
/// "%" and two hexadecimal digits, so any name is a single file under /dev/shm.
///
/// Objects are created with mode 0600 in both namespaces: only their owner
/// (and the administrator) may open them: the record carries a password.
/// Global only widens who may find the
/// name, not who may read it. An existing object that another user owns is
/// refused by `Create` in both namespaces (its owner could read what we
/// write), and by `OpenExisting` in the Local namespace (it is not ours, so it
/// has no business in our names).
///
/// Raises support::Error 5 for a name holding "\\" or a size below 1
/// (`Create`, `OpenExisting`), 9 when `GetData`/`SetData` would reach outside
/// the view (or no view is mapped), and 70 for `SetData` on a read-only view.
/// Failures of the system itself are no error: `Create` and `OpenExisting`
/// answer false, and `LastError` tells why.
class SharedMemory {
 public:
  static constexpr std::int32_t kErrSubscriptOutOfRange = 9;
  static constexpr std::int32_t kErrPermissionDenied = 70;

  SharedMemory() = default;
  /// Calls Destroy.
  ~SharedMemory();
  SharedMemory(const SharedMemory&) = delete;
  SharedMemory& operator=(const SharedMemory&) = delete;
  /// The moved-from object is left with no view and owns no name.
  SharedMemory(SharedMemory&& other) noexcept;
  SharedMemory& operator=(SharedMemory&& other) noexcept;

  /// Creates the object `name` of `size` bytes (zero-filled) and maps it for
  /// reading and writing. An object of that name that this user already owns
  /// is opened instead, its bytes kept (grown to `size` when it is smaller),
  /// as a named mapping is shared by whoever creates it. Either way this
  /// object now owns the name: its Destroy removes it, since a POSIX name
  /// outlives every user of it unless someone unlinks it, and a found object
  /// is most often one a crashed creator left behind. False for an empty name.
  bool Create(std::string_view name, std::size_t size, bool global = false);

  /// Maps `size` bytes of the existing object `name`. False when there is no
  /// such object (the normal case for an optional hand-over), when it is
  /// smaller than `size`, or when it cannot be opened with the access asked
  /// for, and for an empty name. Opening never removes the name.
  bool OpenExisting(std::string_view name, std::size_t size, bool read_only = false,
                    bool global = false);

  /// Copies `count` bytes at `offset` of the view to `dest`.
  void GetData(void* dest, std::size_t count, std::size_t offset) const;
  /// Copies `count` bytes from `src` to `offset` of the view.
  void SetData(const void* src, std::size_t count, std::size_t offset);

  /// Unmaps the view; the creator also removes the name. Safe to repeat.
  void Destroy();

  const std::string& Name() const { return name_; }
  std::size_t Size() const { return size_; }
  bool IsMapped() const { return view_ != nullptr; }
  bool IsReadOnly() const { return read_only_; }
  /// The system error (errno) of the last failed Create or OpenExisting, 0
  /// after a success.
  int LastError() const { return last_error_; }

  /// The POSIX object name that `name` maps onto in its namespace.
  static std::string PosixName(std::string_view name, bool global);

 private:
  static void Validate(std::string_view name, std::size_t size, const char* member);
  bool Map(int fd, std::string_view name, std::size_t size, bool global, bool read_only);
  void CheckRange(std::size_t count, std::size_t offset, const char* member) const;

  std::string name_;
  std::string posix_name_;
  void* view_ = nullptr;
  std::size_t size_ = 0;
  bool read_only_ = false;
  bool owner_ = false;
  int last_error_ = 0;
};

}  // namespace app
