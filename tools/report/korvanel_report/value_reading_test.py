import unittest

from korvanel_report.parameters import read_parameters
from korvanel_report.value_reading import NumberOutOfRange, ValueReader, to_integer, to_real


class NumberRules(unittest.TestCase):
    def test_integers(self):
        for text, value in [(b"2.0", 2), (b"2.5", 2), (b"3.5", 4), (b"-2.5", -2), (b"&H10", 16),
                            (b"&o17", 15), (b"&B101", 5), (b"20MPa", 20), (b"on", 0), (b"", 0),
                            (b"1e3", 1000)]:
            self.assertEqual(to_integer(text), value, text)

    def test_reals(self):
        for text, value in [(b"2.5d2", 250.0), (b".5", 0.5), (b"12", 12.0), (b"one", 0.0),
                            (b"-3.5E+00x", -3.5), (b"1e", 1.0)]:
            self.assertEqual(to_real(text), value, text)

    def test_out_of_range(self):
        for read, text in [(to_real, b"1e400"), (to_integer, b"9223372036854775808"),
                           (to_integer, b"&H1FFFFFFFFFFFFFFFF"), (to_integer, b"1e19"),
                           (to_real, b"9" * 400), (to_real, b"-" + b"9" * 400),
                           (to_integer, b"9" * 400 + b".5")]:
            with self.assertRaises(NumberOutOfRange):
                read(text)


class Reading(unittest.TestCase):
    def test_values_on_one_line_or_many(self):
        reader = ValueReader(b"\xef\xbb\xbf355, 210000\t510\r\n20\r\n")
        self.assertEqual([reader.real() for _ in range(5)], [355, 210000, 510, 20, 0])

    def test_string_values_keep_inner_blanks(self):
        reader = ValueReader(b'"runs, 2024" , my job \r\n')
        self.assertEqual([reader.string(), reader.string()], [b"runs, 2024", b"my job "])
        reader = ValueReader(b"job , bracket\n")
        self.assertEqual(reader.string(), b"job ")

    def test_text_after_a_value_shifts_the_layout_as_in_the_program(self):
        lines = ["c", "355, 210000, 510, 20", "c", "1   on", "c", "1"] + ["c", "0"] * 40
        p = read_parameters("\r\n".join(lines).encode())
        self.assertEqual((p.elastoPlastic, p.elastoPlasticMethod), (1, 0))


if __name__ == "__main__":
    unittest.main()
