// The kinds of disc the burning window writes, as its callers give them.
#pragma once

enum DiscKind : int { kDvdDisc = 0, kSuperVcdDisc = 1, kVideoCdDisc = 2 };
