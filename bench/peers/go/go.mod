module idstamp.example/bench/peers

go 1.21

require (
	github.com/fernet/fernet-go v0.0.0-20240119011108-303da6aec611
	github.com/golang-jwt/jwt/v5 v5.3.1
	idstamp.example/idstamp v0.0.0
)

replace idstamp.example/idstamp => ../../../go
