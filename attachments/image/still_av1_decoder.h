#pragma once
// An AV1 decoder for libheif that decodes a still picture with one frame in flight.
// libheif's own dav1d decoder leaves dav1d at its defaults, which on a machine of two
// cores or more decode several frames at once: for that, dav1d keeps every coefficient
// and block of the frame between two passes, about five bytes a pixel, which for one
// picture gains nothing. This decoder is that one with dav1d's frame delay set to 1 (its
// threads still share the tiles and the filtering), and so gives the same pixels.

namespace attachments {

// Registers the decoder with libheif, above libheif's own AV1 decoders, once; does
// nothing when libheif or dav1d cannot be loaded.
void registerStillAv1Decoder();

} // namespace attachments
