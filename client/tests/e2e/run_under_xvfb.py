"""Runs one command under a private Xvfb (a free display found through
-displayfd, so parallel tests never share one) with Mesa's llvmpipe, and
exits with the command's status.

    python3 run_under_xvfb.py <command> [arguments...]
"""

import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import vobu_e2e  # noqa: E402


def main(command):
    if not command:
        print(__doc__, file=sys.stderr)
        return 2
    with vobu_e2e.Display() as display:
        env = vobu_e2e.drawing_environment(display, os.environ)
        env["VOBU_REQUIRE_DISPLAY"] = "1"
        return subprocess.call(command, env=env)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
