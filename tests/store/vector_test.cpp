#include "store/vector.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "store/message_queue.h"

namespace kv {
namespace {

std::unique_ptr<VectorNode> Node(void* data) {
  auto node = std::make_unique<VectorNode>();
  node->data = data;
  return node;
}

// The elements in list order, checking count and tail on the way.
std::vector<int*> Contents(const Vector& v) {
  std::vector<int*> elements;
  const VectorNode* last = nullptr;
  for (const VectorNode* node = v.head; node; node = node->next) {
    elements.push_back(static_cast<int*>(node->data));
    last = node;
  }
  EXPECT_EQ(static_cast<int>(elements.size()), v.count);
  if (last) {
    EXPECT_EQ(v.tail, last);
  }
  return elements;
}

class VectorTest : public ::testing::Test {
 protected:
  int a = 1, b = 2, c = 3, d = 4;
};

TEST_F(VectorTest, PositionsOutsideTheVectorGiveNothing) {
  Vector v;
  EXPECT_EQ(ElementAt(&v, 0), nullptr);
  EXPECT_EQ(DeleteElementAt(&v, 0), 0);
  EXPECT_FALSE(DeleteElement(&v, nullptr));
  ASSERT_TRUE(AddElementValue(&v, &a));
  ASSERT_TRUE(AddElementValue(&v, &b));
  EXPECT_EQ(ElementAt(&v, 2), nullptr);
  EXPECT_EQ(ElementAt(&v, -1), nullptr);
  EXPECT_EQ(ElementAt(&v, 1)->data, &b);
  EXPECT_EQ(GetNthElement(&v, 1, v.head)->data, &b);
  EXPECT_EQ(GetNthElement(&v, 2, v.head), nullptr);
  EXPECT_EQ(DeleteElementAt(&v, 2), 0);
  EXPECT_EQ(DeleteElementAt(&v, -1), 0);
}

TEST_F(VectorTest, DeletingKeepsHeadAndTailRightForLaterAppends) {
  Vector v;
  ASSERT_TRUE(AddElementValue(&v, &a));
  EXPECT_EQ(DeleteElementAt(&v, 0), 1);
  EXPECT_EQ(v.head, nullptr);
  EXPECT_EQ(v.count, 0);
  EXPECT_EQ(AddElement(&v, Node(&b)), 1);
  EXPECT_EQ(v.head, v.tail);
  EXPECT_EQ(Contents(v), (std::vector<int*>{&b}));

  ASSERT_TRUE(AddElementValue(&v, &c));
  ASSERT_TRUE(AddElementValue(&v, &d));
  EXPECT_EQ(DeleteElementAt(&v, 2), 1);  // the last: its predecessor becomes the tail
  ASSERT_TRUE(AddElementValue(&v, &a));
  EXPECT_EQ(Contents(v), (std::vector<int*>{&b, &c, &a}));

  EXPECT_TRUE(DeleteElement(&v, v.tail));
  ASSERT_TRUE(AddElementValue(&v, &d));
  EXPECT_EQ(Contents(v), (std::vector<int*>{&b, &c, &d}));

  VectorNode stranger;
  EXPECT_TRUE(DeleteElement(&v, &stranger));  // not in the vector: nothing changes, still true
  EXPECT_EQ(Contents(v), (std::vector<int*>{&b, &c, &d}));
}

TEST_F(VectorTest, InsertingAtEveryPosition) {
  Vector v;
  EXPECT_TRUE(InsertElementAt(&v, Node(&b), 0));
  EXPECT_TRUE(InsertElementAt(&v, Node(&a), 0));
  EXPECT_TRUE(InsertElementAt(&v, Node(&d), 2));  // at count: appends
  EXPECT_TRUE(InsertElementAt(&v, Node(&c), 2));
  EXPECT_FALSE(InsertElementAt(&v, Node(&a), 5));  // count + 1
  EXPECT_FALSE(InsertElementAt(&v, Node(&a), -1));
  EXPECT_EQ(Contents(v), (std::vector<int*>{&a, &b, &c, &d}));
  ASSERT_TRUE(AddElementValue(&v, &a));
  EXPECT_EQ(v.tail->data, &a);
}

TEST_F(VectorTest, MergeMovesTheElementsAndEmptiesTheSource) {
  Vector target, source;
  for (int* p : {&a, &b, &c}) ASSERT_TRUE(AddElementValue(&target, p));
  for (int* p : {&d, &c, &b}) ASSERT_TRUE(AddElementValue(&source, p));
  EXPECT_EQ(MergeVector(&target, &source), 1);
  EXPECT_EQ(Contents(target), (std::vector<int*>{&a, &b, &c, &d, &c, &b}));
  EXPECT_EQ(source.count, 0);
  EXPECT_EQ(source.head, nullptr);
  ASSERT_TRUE(AddElementValue(&target, &a));
  EXPECT_EQ(target.count, 7);

  EXPECT_EQ(MergeVector(&target, &target), 1);  // onto itself: nothing moves
  EXPECT_EQ(target.count, 7);
}

TEST_F(VectorTest, DeleteByElementRemovesOnlyTheFirstOccurrence) {
  Vector v;
  for (int* p : {&a, &b, &a}) ASSERT_TRUE(AddElementValue(&v, p));
  EXPECT_TRUE(DeleteLCDVector(&v, &a));
  EXPECT_EQ(Contents(v), (std::vector<int*>{&b, &a}));
  EXPECT_FALSE(DeleteLCDVector(&v, &c));
}

TEST_F(VectorTest, InitAndFreeDropTheNodes) {
  auto v = NewVector();
  ASSERT_NE(v, nullptr);
  for (int* p : {&a, &b}) ASSERT_TRUE(AddElementValue(v.get(), p));
  InitVector(v.get());  // the nodes it held are freed, not leaked
  EXPECT_EQ(v->count, 0);
  ASSERT_TRUE(AddElementValue(v.get(), &c));
  FreeVector(v.get());
  EXPECT_EQ(v->head, nullptr);
  EXPECT_EQ(v->count, 0);
}

TEST(CloneVectorTest, CopiesTextElements) {
  EXPECT_EQ(CloneVector(nullptr), nullptr);
  char first[] = "alpha";
  char second[] = "";
  Vector v;
  ASSERT_TRUE(AddElementValue(&v, first));
  ASSERT_TRUE(AddElementValue(&v, second));
  const auto clone = CloneVector(&v);
  ASSERT_NE(clone, nullptr);
  std::vector<std::string> texts;
  for (const char& text : *clone) texts.emplace_back(&text);
  EXPECT_EQ(texts, (std::vector<std::string>{"alpha", ""}));
  EXPECT_NE(clone->First(), first);
}

TEST(VectorOfTest, OwnsAndFreesItsElements) {
  VectorOf<std::string> strings;
  ASSERT_TRUE(strings.Append(std::make_unique<std::string>("x")));
  ASSERT_TRUE(strings.Append(std::make_unique<std::string>("y")));
  EXPECT_EQ(*strings.At(1), "y");
  EXPECT_EQ(strings.At(2), nullptr);
  EXPECT_EQ(strings.At(-1), nullptr);
  EXPECT_TRUE(strings.Remove(strings.First()));
  EXPECT_EQ(*strings.First(), "y");
  EXPECT_FALSE(strings.Remove(nullptr));
  EXPECT_EQ(strings.Count(), 1);
}

TEST(MessageQueueTest, MessagesLeaveInArrivalOrder) {
  Vector queue;
  int first = 1, second = 2;
  EXPECT_EQ(ReadMsgFromQueueForProcessing(&queue), nullptr);
  ASSERT_TRUE(AddRcvdMsgToQueue(&queue, &first));
  ASSERT_TRUE(AddRcvdMsgToQueue(&queue, &second));
  EXPECT_EQ(ReadMsgFromQueueForProcessing(&queue), &first);
  EXPECT_EQ(ReadMsgFromQueueForProcessing(&queue), &second);
  EXPECT_EQ(ReadMsgFromQueueForProcessing(&queue), nullptr);
  ASSERT_TRUE(AddRcvdMsgToQueue(&queue, &first));  // the tail was reset with the last message
  EXPECT_EQ(queue.head, queue.tail);
}

}  // namespace
}  // namespace kv
