#ifndef VARNELO_TESTS_SUPPORT_LINUX_SIDE_H_
#define VARNELO_TESTS_SUPPORT_LINUX_SIDE_H_

#include <filesystem>
#include <string>
#include <vector>

namespace varnelo::testing {

// Under Wine, the Windows build's tests reach the Linux machine below for
// what no Windows call does there: Wine makes no links (it answers success
// and makes nothing) and removes none that Linux made.
bool UnderWine();

// Runs `command` (a program found on the Linux PATH, then its arguments)
// there and waits until it has ended well; a failure where it has not
// within half a minute. Wine gives no handle to wait on a Linux program
// with, so the command leaves a mark when it succeeds.
// REQUIRES: UnderWine().
void RunOnLinuxSide(const std::vector<std::string>& command);

// Whether `path` is a reparse point: how Wine shows a Linux link to a folder.
bool IsReparsePoint(const std::filesystem::path& path);

// The Linux path of `path`, a Windows one.
// REQUIRES: UnderWine().
std::string LinuxPathOf(const std::string& path);

}  // namespace varnelo::testing

#endif  // VARNELO_TESTS_SUPPORT_LINUX_SIDE_H_
