#pragma once

// The attribute-command templates. The host declares them; whoever edits a kind of
// attribute supplies the specialisation for that kind.

namespace lx_attr {

template <class Attr>
class SetValueCmd;
template <class Attr>
class SetLocalValueCmd;
template <class Attr>
class SetValueCurrentFrameCmd;
template <class Attr>
class OffsetValueAllFramesCmd;

}  // namespace lx_attr
