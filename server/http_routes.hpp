// The paths the optimization server answers (optimizer/remote/protocol.hpp)
// and how a path is shown in its request log.
#pragma once

#include <string>
#include <string_view>

namespace vlt::server {

// What a request asks for: the route and the job token in its path.
enum class Route { none, health, submit, status, log, result, stop, forget };
struct RouteMatch {
    Route route = Route::none;
    std::string token;
    bool path_known = false;  // the path exists, perhaps for another method
};
RouteMatch match_route(std::string_view method, std::string_view path);

// A path with every job token cut to its first 8 digits, then escaped: logs
// show which job a request concerned without handing out its token, and a
// logged path is one field on one line whatever it holds.
std::string loggable_path(std::string_view path);

}  // namespace vlt::server
