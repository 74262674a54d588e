print("abc
");