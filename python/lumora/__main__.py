"""python -m lumora --version prints the version of the module."""

import argparse

from . import __version__


def main() -> None:
    parser = argparse.ArgumentParser(prog="python -m lumora",
                                     description="The Python module lumora; import it from a script.")
    parser.add_argument("--version", action="version", version=f"lumora {__version__}")
    parser.parse_args()
    parser.print_help()


if __name__ == "__main__":
    main()
