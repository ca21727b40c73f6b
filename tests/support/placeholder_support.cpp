// Placeholder: the fixture writer and test helpers arrive here.
namespace kavro_test {
int support_placeholder() { return 0; }
}  // namespace kavro_test
