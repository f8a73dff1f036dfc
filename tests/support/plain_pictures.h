#ifndef VARNELO_TESTS_SUPPORT_PLAIN_PICTURES_H_
#define VARNELO_TESTS_SUPPORT_PLAIN_PICTURES_H_

#include <string>

namespace varnelo::testing {

// Whole pictures of one flat grey, written without any picture library, so
// that the Windows build's tests have pictures that its decoders read to
// the end. Kept small: some decoders read every pixel to tell a size.
std::string PlainBmp(int width, int height);
std::string PlainPng(int width, int height);
std::string PlainGif(int width, int height);
// A baseline JPEG: one grey component, every block flat.
std::string PlainJpeg(int width, int height);
// An icon holding one 32-bit picture of `size` x `size` (at most 256).
std::string PlainIco(int size);

// The picture of the kind that a file name's extension names ("jpg",
// "JPEG", "png", ...); empty for a kind without a writer here.
std::string PlainPictureFor(const std::string& name, int width, int height);

}  // namespace varnelo::testing

#endif  // VARNELO_TESTS_SUPPORT_PLAIN_PICTURES_H_
