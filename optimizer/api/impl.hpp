// What an implementation file of the entry points includes: the generated
// declarations of vlt::impl::<name>, the task and environment types, errors.
#pragma once

#include "api_impl.hpp"
#include "core/env.hpp"
#include "core/error.hpp"
#include "core/library.hpp"
#include "core/task.hpp"
