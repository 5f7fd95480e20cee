"""plaquer end to end: the window as a person uses it, under Xvfb."""
import unittest

if __name__ == "__main__":
    unittest.main()
