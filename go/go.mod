module idstamp.example/idstamp

go 1.19
