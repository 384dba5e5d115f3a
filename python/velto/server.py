"""The optimization server that ships with velto: `velto-server`.

    velto-server --port 8080 --workdir /var/lib/velto [--threads N] [--tokens FILE]

runs the server binary installed in this package (velto/bin/velto-server);
`velto.server.executable()` is its path, for starting it from Python.
"""
import os
import sys


def executable() -> str:
    """The path of the velto-server binary of this installation."""
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "bin", "velto-server")
    if not os.path.isfile(path):
        raise FileNotFoundError(f"velto-server is not installed with this package (looked for {path})")
    return path


def main():
    """The velto-server command: replaces this process with the server."""
    path = executable()
    os.execv(path, [path] + sys.argv[1:])


if __name__ == "__main__":
    main()
