// The update server of the tests: a loopback HTTP server answering from a table.
#pragma once

#include "ChildProgram.h"

#include <memory>
#include <string>
#include <vector>

class VersionServer
{
public:
    /** Starts the server with routes (a JSON object, see version_server.py). */
    explicit VersionServer (const std::string& routesJson);

    /** Replaces the routes; the next request is answered from the new ones. */
    void setRoutes (const std::string& routesJson);

    /** "http://127.0.0.1:<port>" */
    std::string baseUrl() const;

    /** The paths requested so far, in order. */
    std::vector<std::string> requestedPaths() const;

private:
    ScratchFolder folder;
    std::unique_ptr<ChildProgram> server;
    int port = 0;
};
